# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which C++20's
# std::jthread and std::mutex need). Dependencies are looked up only in the MinGW sysroot and in the
# prefix that scripts/build-windows.sh fills, never in the host's /usr.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUARNEL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARNEL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARNEL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARNEL_MINGW_TRIPLE}-windres)
set(CMAKE_AR ${QUARNEL_MINGW_TRIPLE}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${QUARNEL_MINGW_TRIPLE}-gcc-ranlib-posix CACHE FILEPATH "")

# The dependency prefix: from the cache variable, else from the environment build-windows.sh sets.
if(NOT QUARNEL_WINDOWS_PREFIX AND DEFINED ENV{QUARNEL_WINDOWS_PREFIX})
  set(QUARNEL_WINDOWS_PREFIX "$ENV{QUARNEL_WINDOWS_PREFIX}")
endif()
set(QUARNEL_WINDOWS_PREFIX "${QUARNEL_WINDOWS_PREFIX}" CACHE PATH "Cross-built dependencies")
# try_compile projects get a fresh cache; the prefix reaches them through this list.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUARNEL_WINDOWS_PREFIX)

set(CMAKE_FIND_ROOT_PATH /usr/${QUARNEL_MINGW_TRIPLE})
if(QUARNEL_WINDOWS_PREFIX)
  list(PREPEND CMAKE_FIND_ROOT_PATH "${QUARNEL_WINDOWS_PREFIX}")
  list(APPEND CMAKE_PREFIX_PATH "${QUARNEL_WINDOWS_PREFIX}")
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine, with the MinGW runtime and the dependency DLLs on its search path.
set(CMAKE_CROSSCOMPILING_EMULATOR "${CMAKE_CURRENT_LIST_DIR}/wine-run.sh")
