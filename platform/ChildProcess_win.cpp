#include "platform/ChildProcess.h"
#include "platform/ThisProcess.h"
#include "platform/WideText.h"

#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <thread>
#include <windows.h>

namespace platform {
namespace {

// Closes a handle when it goes out of scope; null and INVALID_HANDLE_VALUE are both "none".
class Handle {
public:
    explicit Handle(HANDLE h = nullptr) : h_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    Handle(Handle&& other) noexcept : h_(other.h_) { other.h_ = nullptr; }
    Handle& operator=(Handle&& other) noexcept {
        std::swap(h_, other.h_);
        return *this;
    }
    ~Handle() {
        if (h_ != nullptr)
            CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }

private:
    HANDLE h_;
};

bool HasExecutableExtension(const std::wstring& name) {
    const auto dot = name.find_last_of(L'.');
    const auto slash = name.find_last_of(L"\\/");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return false;
    std::wstring extension = name.substr(dot);
    for (auto& c : extension)
        c = static_cast<wchar_t>(std::towlower(c));
    return extension == L".exe" || extension == L".com";
}

bool IsRegularFile(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// The program file a name stands for: as given when it ends in .exe or .com, else with ".exe"
// added. Batch files are left out on purpose: cmd.exe reparses their arguments by rules of its own.
std::wstring ExecutableFile(const std::wstring& candidate) {
    if (HasExecutableExtension(candidate))
        return IsRegularFile(candidate) ? candidate : std::wstring();
    const std::wstring withExe = candidate + L".exe";
    return IsRegularFile(withExe) ? withExe : std::wstring();
}

// One argument as CommandLineToArgvW and the C runtime will split it back: quoted when it has
// blanks or quotes, backslashes doubled only where they precede a quote.
void AppendArgument(std::wstring& line, const std::wstring& argument) {
    if (!line.empty())
        line += L' ';
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
        line += argument;
        return;
    }
    line += L'"';
    for (auto it = argument.begin();; ++it) {
        std::size_t backslashes = 0;
        while (it != argument.end() && *it == L'\\') {
            ++it;
            ++backslashes;
        }
        if (it == argument.end()) {
            line.append(backslashes * 2, L'\\');
            break;
        }
        if (*it == L'"') {
            line.append(backslashes * 2 + 1, L'\\');
        } else {
            line.append(backslashes, L'\\');
        }
        line += *it;
    }
    line += L'"';
}

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

// The parent's environment with the changes made, as the block CreateProcessW takes. Names are
// compared without case, as Windows does.
std::wstring EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::vector<std::pair<std::wstring, std::wstring>> wideChanges;
    for (const auto& change : changes)
        wideChanges.emplace_back(Widen(change.first), Widen(change.second));
    std::wstring block;
    wchar_t* strings = GetEnvironmentStringsW();
    for (const wchar_t* entry = strings; entry != nullptr && *entry != L'\0'; entry += wcslen(entry) + 1) {
        const std::wstring text(entry);
        // "=C:=C:\folder" entries (the current folder per drive) have a name starting with '='.
        const std::wstring name = text.substr(0, text.find(L'=', 1));
        bool replaced = false;
        for (const auto& change : wideChanges)
            replaced = replaced || SameName(change.first, name);
        if (!replaced)
            block.append(text).push_back(L'\0');
    }
    FreeEnvironmentStringsW(strings);
    for (const auto& change : wideChanges)
        block.append(change.first).append(L"=").append(change.second).push_back(L'\0');
    block.push_back(L'\0');
    return block;
}

HANDLE OpenInheritable(const std::wstring& path, bool write) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path.c_str(), write ? GENERIC_WRITE : GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &inherit,
                       write ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// A process ended by an exception (an access violation, a failed stack check...) reports the
// exception's NTSTATUS, whose top bits say "error".
bool IsCrashCode(DWORD code) {
    return (code & 0xF0000000u) == 0xC0000000u;
}

DWORD ActiveProcesses(HANDLE job) {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info{};
    if (!QueryInformationJobObject(job, JobObjectBasicAccountingInformation, &info, sizeof info, nullptr))
        return 0;
    return info.ActiveProcesses;
}

// Ends every process of the job and waits (briefly) until the last one is gone, so that nothing
// writes into the caller's folders once this returns.
void EndJob(HANDLE job) {
    TerminateJobObject(job, 1);
    for (int i = 0; i < 200 && ActiveProcesses(job) > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

} // namespace

std::string FindProgram(const std::string& name) {
    if (name.empty())
        return {};
    const std::wstring wide = Widen(name);
    if (wide.find_first_of(L"\\/:") != std::wstring::npos)
        return Narrow(ExecutableFile(wide));
    // The program's own folder first, as Windows itself searches: ffmpeg.exe put beside it is found.
    const std::filesystem::path self = PathFromUtf8(ProgramFile());
    if (!self.empty()) {
        const std::wstring beside = ExecutableFile((self.parent_path() / wide).wstring());
        if (!beside.empty())
            return Narrow(beside);
    }
    const DWORD size = GetEnvironmentVariableW(L"PATH", nullptr, 0);
    std::wstring folders(size, L'\0');
    folders.resize(GetEnvironmentVariableW(L"PATH", folders.data(), size));
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(L';', start);
        if (end == std::wstring::npos)
            end = folders.size();
        std::wstring folder = folders.substr(start, end - start);
        if (folder.size() >= 2 && folder.front() == L'"' && folder.back() == L'"')
            folder = folder.substr(1, folder.size() - 2);
        if (!folder.empty()) {
            if (folder.back() != L'\\' && folder.back() != L'/')
                folder += L'\\';
            const std::wstring found = ExecutableFile(folder + wide);
            if (!found.empty())
                return Narrow(found);
        }
        start = end + 1;
    }
    return {};
}

std::string FindInstalledLibreOffice() {
    for (const wchar_t* variable : {L"ProgramW6432", L"ProgramFiles", L"ProgramFiles(x86)"}) {
        wchar_t folder[MAX_PATH];
        const DWORD length = GetEnvironmentVariableW(variable, folder, MAX_PATH);
        if (length == 0 || length >= MAX_PATH)
            continue;
        const std::wstring soffice = std::wstring(folder, length) + L"\\LibreOffice\\program\\soffice.exe";
        if (IsRegularFile(soffice))
            return Narrow(soffice);
    }
    return {};
}

struct RunningChild::State {
    Handle job;
    Handle process;
    DWORD processId = 0;
    bool ended = false;
    ChildResult result;
    std::chrono::steady_clock::time_point begin = std::chrono::steady_clock::now();

    void Finish(ChildEnd end) {
        // Helpers the program left behind in its job go as well.
        EndJob(job.get());
        ended = true;
        result.end = end;
        result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    }
};

RunningChild::RunningChild(const ChildCommand& command) : state_(std::make_unique<State>()) {
    if (command.arguments.empty())
        return;
    const std::string program = FindProgram(command.arguments.front());
    if (program.empty())
        return;

    std::wstring commandLine;
    for (const auto& argument : command.arguments)
        AppendArgument(commandLine, Widen(argument));
    std::wstring environment = EnvironmentBlock(command.environment);
    const Handle input(OpenInheritable(L"NUL", false));
    const Handle output(
        OpenInheritable(command.outputFile.empty() ? L"NUL" : Widen(command.outputFile), true));
    const Handle error(command.errorFile.empty() ? nullptr : OpenInheritable(Widen(command.errorFile), true));
    if (!input || !output || (!command.errorFile.empty() && !error))
        return;
    const HANDLE errorTarget = error ? error.get() : output.get();

    // Only the three standard handles reach the child, not whatever else this process holds open
    // as inheritable (another thread's child output file, for one).
    HANDLE inherited[] = {input.get(), output.get(), errorTarget};
    const SIZE_T inheritedSize = (error ? 3 : 2) * sizeof(HANDLE);
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<unsigned char> listBuffer(listSize);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBuffer.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &listSize))
        return;
    UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited, inheritedSize,
                              nullptr, nullptr);
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    startup.StartupInfo.dwFlags = STARTF_USESTDHANDLES;
    startup.StartupInfo.hStdInput = input.get();
    startup.StartupInfo.hStdOutput = output.get();
    startup.StartupInfo.hStdError = errorTarget;
    startup.lpAttributeList = attributes;

    // A job holds the child and everything it starts: one call ends them all, and closing the
    // job's last handle (this process ending, however it ends) does the same.
    Handle job(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    // A crash ends the helper instead of waiting on an error dialog nobody sees.
    limits.BasicLimitInformation.LimitFlags =
        JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE | JOB_OBJECT_LIMIT_DIE_ON_UNHANDLED_EXCEPTION;
    if (!job ||
        !SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        DeleteProcThreadAttributeList(attributes);
        return;
    }

    const std::wstring folder = Widen(command.workingFolder);
    PROCESS_INFORMATION started{};
    // Suspended until it is in the job, so that nothing it starts can escape. A process group of its
    // own: a console's Ctrl-C reaches only us. An interruptible child keeps the console, which
    // Ctrl-Break needs to reach it; any other gets none.
    DWORD flags = CREATE_UNICODE_ENVIRONMENT | CREATE_SUSPENDED | CREATE_NEW_PROCESS_GROUP |
                  EXTENDED_STARTUPINFO_PRESENT;
    if (!command.interruptible)
        flags |= CREATE_NO_WINDOW;
    const BOOL created = CreateProcessW(Widen(program).c_str(), commandLine.data(), nullptr, nullptr, TRUE,
                                        flags, environment.data(), folder.empty() ? nullptr : folder.c_str(),
                                        &startup.StartupInfo, &started);
    DeleteProcThreadAttributeList(attributes);
    if (!created)
        return;
    Handle process(started.hProcess);
    const Handle thread(started.hThread);
    if (!AssignProcessToJobObject(job.get(), process.get())) {
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), INFINITE);
        return;
    }
    ResumeThread(thread.get());
    state_->job = std::move(job);
    state_->process = std::move(process);
    state_->processId = started.dwProcessId;
}

RunningChild::~RunningChild() {
    Stop();
}

bool RunningChild::Started() const {
    return static_cast<bool>(state_->process);
}

bool RunningChild::WaitFor(std::chrono::milliseconds wait) {
    if (!Started() || state_->ended)
        return true;
    const auto milliseconds = static_cast<DWORD>(std::clamp<long long>(wait.count(), 0, INFINITE - 1));
    if (WaitForSingleObject(state_->process.get(), milliseconds) != WAIT_OBJECT_0)
        return false;
    DWORD code = 0;
    GetExitCodeProcess(state_->process.get(), &code);
    const bool crashed = IsCrashCode(code);
    if (!crashed)
        state_->result.exitCode = static_cast<int>(code);
    state_->Finish(crashed ? ChildEnd::Crashed : ChildEnd::Exited);
    return true;
}

void RunningChild::Interrupt() {
    if (Started() && !state_->ended)
        GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, state_->processId);
}

void RunningChild::Stop() {
    if (!Started() || state_->ended)
        return;
    TerminateJobObject(state_->job.get(), 1);
    WaitForSingleObject(state_->process.get(), INFINITE);
    state_->Finish(ChildEnd::Stopped);
}

ChildResult RunningChild::Result() const {
    return state_->result;
}

} // namespace platform
