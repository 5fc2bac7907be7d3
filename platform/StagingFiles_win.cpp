#include "platform/StagingFiles.h"
#include "platform/StagingRemoval.h"
#include "platform/WideText.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <share.h>
#include <sys/stat.h>
#include <system_error>
#include <vector>
#include <windows.h>

namespace platform {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kTagLetters = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The program file's name without folder and ".exe", lower case; empty when it cannot be read.
std::wstring ImageName(HANDLE process) {
    wchar_t buffer[32768];
    DWORD size = sizeof buffer / sizeof buffer[0];
    if (!QueryFullProcessImageNameW(process, 0, buffer, &size))
        return {};
    std::wstring name(buffer, size);
    const auto slash = name.find_last_of(L"\\/");
    if (slash != std::wstring::npos)
        name.erase(0, slash + 1);
    for (auto& c : name)
        c = static_cast<wchar_t>(towlower(c));
    if (name.size() > 4 && name.compare(name.size() - 4, 4, L".exe") == 0)
        name.resize(name.size() - 4);
    return name;
}

std::string RandomTag() {
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, kTagLetters.size() - 1);
    std::string tag(6, '0');
    for (auto& c : tag)
        c = kTagLetters[pick(device)];
    return tag;
}

// What mode 0700 is on POSIX: an access list admitting this user alone, to the folder and to all
// made in it, and nothing taken from the parent (a temporary folder such as C:\Temp admits every
// user, and so does Wine's). Empty when this user cannot be read from the process's token.
class ThisUserAlone {
public:
    ThisUserAlone() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
            return;
        DWORD size = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &size);
        user_.resize(size);
        const bool known = size != 0 && GetTokenInformation(token, TokenUser, user_.data(), size, &size);
        CloseHandle(token);
        if (!known)
            return;
        const PSID sid = reinterpret_cast<const TOKEN_USER*>(user_.data())->User.Sid;
        const DWORD aclSize = sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid);
        acl_.resize(aclSize);
        const auto acl = reinterpret_cast<PACL>(acl_.data());
        ready_ = InitializeAcl(acl, aclSize, ACL_REVISION) &&
                 AddAccessAllowedAceEx(acl, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE,
                                       FILE_ALL_ACCESS, sid) &&
                 InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
                 SetSecurityDescriptorDacl(&descriptor_, TRUE, acl, FALSE) &&
                 SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
        attributes_ = {sizeof(SECURITY_ATTRIBUTES), &descriptor_, FALSE};
    }
    ThisUserAlone(const ThisUserAlone&) = delete;
    ThisUserAlone& operator=(const ThisUserAlone&) = delete;

    SECURITY_ATTRIBUTES* Attributes() { return ready_ ? &attributes_ : nullptr; }

private:
    std::vector<BYTE> user_; // TOKEN_USER and the SID it points into
    std::vector<BYTE> acl_;
    SECURITY_DESCRIPTOR descriptor_{};
    SECURITY_ATTRIBUTES attributes_{};
    bool ready_ = false;
};

} // namespace

long CurrentProcessId() {
    return static_cast<long>(GetCurrentProcessId());
}

int CreateStagingFile(const std::string& target, std::string_view kind, std::string& path) {
    const fs::path targetPath = PathFromUtf8(target);
    fs::path folder = targetPath.parent_path();
    if (folder.empty())
        folder = ".";
    const std::string targetName = PathToUtf8(targetPath.filename());
    // What mkostemps does on POSIX: a fresh tag until the name is new. _O_NOINHERIT keeps the
    // descriptor out of child processes (close-on-exec). No hidden attribute: the rename into place
    // would carry it over to the target.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path candidate = folder / PathFromUtf8(MakeStagingName(kind, RandomTag(), targetName));
        int fd = -1;
        const errno_t error =
            _wsopen_s(&fd, candidate.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY | _O_NOINHERIT,
                      _SH_DENYNO, _S_IREAD | _S_IWRITE);
        if (error == 0) {
            path = PathToUtf8(candidate);
            return fd;
        }
        if (error != EEXIST) {
            errno = error;
            return -1;
        }
    }
    errno = EEXIST;
    return -1;
}

bool StagingMakerGone(long pid) {
    if (pid <= 0)
        return false;
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr)
        // No such process; one we may not look at (another user's) is alive and not ours to judge.
        return GetLastError() == ERROR_INVALID_PARAMETER;
    DWORD exitCode = 0;
    const bool ended = GetExitCodeProcess(process, &exitCode) && exitCode != STILL_ACTIVE;
    // Alive: the maker still, unless the pid now names some other program. Every program of this
    // project is called quarnel-something, or runs the same program as this one (a test).
    const std::wstring name = ended ? std::wstring() : ImageName(process);
    CloseHandle(process);
    if (ended)
        return true;
    if (name.empty())
        return false;
    return name.rfind(L"quarnel", 0) != 0 && name != ImageName(GetCurrentProcess());
}

fs::path WorkFolderRoot() {
    wchar_t buffer[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, buffer);
    if (length == 0 || length > MAX_PATH)
        return fs::path(L"C:\\Windows\\Temp");
    return fs::path(std::wstring(buffer, length)).parent_path();
}

fs::path CreateWorkFolder(const fs::path& parent, std::string_view prefix) {
    // What mkdtemp does on POSIX: a fresh tag until the name is new, and a folder only this user
    // may enter.
    ThisUserAlone rights;
    if (rights.Attributes() == nullptr)
        return {};
    std::string name = WorkFolderPattern(prefix);
    const std::size_t tag = name.size() - 6;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name.replace(tag, 6, RandomTag());
        const fs::path candidate = parent / PathFromUtf8(name);
        if (CreateDirectoryW(candidate.c_str(), rights.Attributes()))
            return candidate;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
    return {};
}

namespace detail {

bool RemoveLeftFile(const fs::path& path) {
    // A read-only attribute (set by someone else) would stop the removal.
    SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ec;
    return fs::remove(path, ec);
}

} // namespace detail

} // namespace platform
