#pragma once

// Windows only: who besides this user a folder's access list lets read it, the Windows form of the
// group and other bits of a POSIX mode. The system's own accounts count as this user, as root does
// on POSIX.

#include <aclapi.h>
#include <filesystem>
#include <sddl.h>
#include <string>
#include <vector>
#include <windows.h>

namespace testsupport {

namespace detail {

inline std::string SidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return "?";
    std::string ascii;
    for (const wchar_t* c = text; *c != 0; ++c)
        ascii += static_cast<char>(*c);
    LocalFree(text);
    return ascii;
}

inline std::string ThisUser() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return {};
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    const bool known = size != 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size);
    CloseHandle(token);
    return known ? SidText(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid) : std::string();
}

} // namespace detail

// The accounts (as SID texts) that an entry of the folder's list lets list or read it, or what is
// made in it, other than this user, SYSTEM, the administrators and the owner's stand-ins; "no list"
// when there is none, which admits everyone. Empty: the folder is this user's alone.
inline std::vector<std::string> OtherReaders(const std::filesystem::path& folder) {
    PACL list = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoW(folder.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr,
                              &list, nullptr, &descriptor) != ERROR_SUCCESS)
        return {"unreadable list"};
    std::vector<std::string> others;
    if (list == nullptr)
        others.push_back("no list");
    const std::vector<std::string> alone = {detail::ThisUser(), "S-1-5-18", "S-1-5-32-544", "S-1-3-0",
                                            "S-1-3-4"};
    for (DWORD i = 0; list != nullptr && i < list->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(list, i, &entry) ||
            static_cast<const ACE_HEADER*>(entry)->AceType != ACCESS_ALLOWED_ACE_TYPE)
            continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(entry);
        if ((allowed->Mask & (FILE_READ_DATA | GENERIC_READ | GENERIC_ALL)) == 0)
            continue;
        const std::string who = detail::SidText(const_cast<DWORD*>(&allowed->SidStart));
        bool known = false;
        for (const std::string& sid : alone)
            known = known || sid == who;
        if (!known)
            others.push_back(who);
    }
    LocalFree(descriptor);
    return others;
}

} // namespace testsupport
