#pragma once

// Windows only: a person at the shell's folder picker, which is the system's own window and no Qt
// dialog. Made on the thread about to open the picker, it waits on another thread for the picker to
// show, reads its texts, chooses a folder if told to, and presses OK or Cancel.

#include <string>
#include <thread>
#include <vector>

namespace apptest {

// Whether this session can show a window at all (Wine without a display cannot).
bool WindowsCanBeShown();
// Whether this is Wine, whose picker does not select a folder it is given by path.
bool RunningUnderWine();

class PickerPerson {
public:
    // select: the folder to choose by its path before OK; empty: OK on the folder the picker opened
    // on. cancel: Cancel instead of OK.
    PickerPerson(std::string select, bool cancel);
    ~PickerPerson();
    PickerPerson(const PickerPerson&) = delete;
    PickerPerson& operator=(const PickerPerson&) = delete;

    // Waits for the person to be done; then what they saw.
    void Finish();
    bool SawPicker() const { return saw_; }
    const std::vector<std::string>& Texts() const { return texts_; }

private:
    unsigned long thread_;
    bool saw_ = false;
    std::vector<std::string> texts_;
    std::thread person_;
};

} // namespace apptest
