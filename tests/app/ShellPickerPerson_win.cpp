#include "ShellPickerPerson_win.h"

#include "platform/WideText.h"

#include <cwchar>
#include <shlobj.h>
#include <windows.h>

namespace apptest {

namespace {

constexpr int kWaitSteps = 200; // of 50 ms: ten seconds for the picker to show

BOOL CALLBACK FindPicker(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (IsWindowVisible(window) && std::wcscmp(name, L"#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectText(HWND child, LPARAM texts) {
    wchar_t text[512] = {};
    if (GetWindowTextW(child, text, 512) > 0) {
        reinterpret_cast<std::vector<std::string>*>(texts)->push_back(platform::Narrow(text));
    }
    return TRUE;
}

} // namespace

bool WindowsCanBeShown() {
    const HWND probe =
        CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (probe == nullptr) {
        return false;
    }
    DestroyWindow(probe);
    return true;
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

PickerPerson::PickerPerson(std::string select, bool cancel) : thread_(GetCurrentThreadId()) {
    person_ = std::thread([this, select = std::move(select), cancel] {
        HWND picker = nullptr;
        for (int step = 0; step < kWaitSteps && picker == nullptr; ++step) {
            Sleep(50);
            EnumThreadWindows(thread_, FindPicker, reinterpret_cast<LPARAM>(&picker));
        }
        if (picker == nullptr) {
            return;
        }
        saw_ = true;
        EnumChildWindows(picker, CollectText, reinterpret_cast<LPARAM>(&texts_));
        if (!select.empty()) {
            const std::wstring path = platform::Widen(select);
            SendMessageW(picker, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
        }
        const int button = cancel ? IDCANCEL : IDOK;
        PostMessageW(picker, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(picker, button)));
    });
}

PickerPerson::~PickerPerson() {
    Finish();
}

void PickerPerson::Finish() {
    if (person_.joinable()) {
        person_.join();
    }
}

} // namespace apptest
