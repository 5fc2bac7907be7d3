#pragma once

// A small scripted stand-in for the office backend: enough of the object model for the batch run
// and the presentation pass, with a record of what was opened, saved, closed and quit.

#include "automation/AutomationError.h"
#include "automation/OfficeProvider.h"
#include "engine/Host.h"
#include "tests/support/WorkFolders.h"

#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace fake {

struct Journal {
    std::vector<std::string> opened;  // paths given to Open
    std::vector<std::string> savedAs; // paths given to SaveAs
    int presentationsClosed = 0;
    int powerPointsCreated = 0;
    int powerPointsQuit = 0;
    int excelsCreated = 0;
    int excelsQuit = 0;
    int workbooksAdded = 0;
    int clipboardClears = 0;
};

class Slide : public automation::ISlide {
public:
    explicit Slide(int index) : index_(index) {}
    void Select() override {}
    int SlideIndex() override { return index_; }
    std::shared_ptr<automation::IShapes> Shapes() override {
        throw automation::AutomationError("Shapes", "none");
    }
    std::shared_ptr<automation::ITimeLine> TimeLine() override {
        throw automation::AutomationError("TimeLine", "none");
    }

private:
    int index_;
};

class Slides : public automation::ISlides {
public:
    explicit Slides(int count) : count_(count) {}
    int Count() override { return count_; }
    automation::SlidePtr Item(int index) override {
        if (index < 1 || index > count_) {
            throw automation::AutomationError("Item", "no such slide");
        }
        return std::make_shared<Slide>(index);
    }
    automation::SlidePtr Add(int, int) override { throw automation::AutomationError("Add", "not here"); }
    void Delete(int) override {}

private:
    int count_;
};

class Pane : public automation::IPane {
public:
    int ViewType() override { return 6; }
};

class Window : public automation::IDocumentWindow {
public:
    int ViewType() override { return view; }
    void SetViewType(int v) override { view = v; }
    std::shared_ptr<automation::IPane> Panes(int) override { return std::make_shared<Pane>(); }
    void Activate() override {}
    std::shared_ptr<automation::ISelection> Selection() override {
        throw automation::AutomationError("Selection", "none");
    }
    int view = 1;
};

class Presentation : public automation::IPresentation {
public:
    Presentation(Journal& journal, std::string path, int slides, bool failSave)
        : journal_(journal), path_(std::move(path)), slides_(slides), failSave_(failSave) {}
    std::shared_ptr<automation::IDocumentWindow> Windows(int) override { return window_; }
    std::shared_ptr<automation::ISlides> Slides() override { return std::make_shared<fake::Slides>(slides_); }
    bool Saved() override { return saved_; }
    void SetSaved(bool s) override { saved_ = s; }
    void SaveAs(const std::string& fileName) override {
        journal_.savedAs.push_back(fileName);
        if (failSave_) {
            throw automation::AutomationError("SaveAs", "disk full");
        }
        std::ofstream(testsupport::PathOf(fileName), std::ios::binary)
            << "saved deck " << std::string(100, 'x');
        path_ = fileName;
    }
    void Close() override {
        closed = true;
        ++journal_.presentationsClosed;
    }
    std::string FullName() override { return path_; }
    bool closed = false;

private:
    Journal& journal_;
    std::string path_;
    int slides_;
    bool failSave_;
    bool saved_ = true;
    std::shared_ptr<Window> window_ = std::make_shared<Window>();
};

struct Script {
    std::string version = "12.0";
    int slidesPerDeck = 2;
    bool failSave = false;
    bool failScratchSave = false; // the new presentation's save: the batch's probes
    bool failCreatePowerPoint = false;
    bool failCreateExcel = false;
    int openPresentationsInRunningApp = 0; // > 0: a running application with documents open
    bool runningApp = false;
};

class Presentations : public automation::IPresentations {
public:
    Presentations(Journal& journal, const Script& script) : journal_(journal), script_(script) {}
    int Count() override {
        int n = extraOpen;
        for (auto& p : open_) {
            n += p->closed ? 0 : 1;
        }
        return n;
    }
    automation::PresentationPtr Item(int index) override {
        return open_.at(static_cast<std::size_t>(index - 1));
    }
    automation::PresentationPtr Open(const std::string& fileName, bool readOnly) override {
        journal_.opened.push_back(fileName);
        std::ifstream in(testsupport::PathOf(fileName), std::ios::binary);
        std::string head(8, '\0');
        in.read(head.data(), 8);
        if (!in || !readOnly || head.rfind("PK", 0) != 0) {
            throw automation::AutomationError("Open", "not a presentation package");
        }
        auto p = std::make_shared<Presentation>(journal_, fileName, script_.slidesPerDeck, script_.failSave);
        open_.push_back(p);
        return p;
    }
    automation::PresentationPtr Add(bool) override {
        auto p = std::make_shared<Presentation>(journal_, "", 0, script_.failScratchSave);
        open_.push_back(p);
        return p;
    }
    int extraOpen = 0;

private:
    Journal& journal_;
    const Script& script_;
    std::vector<std::shared_ptr<Presentation>> open_;
};

class Application : public automation::IApplication {
public:
    Application(Journal& journal, const Script& script)
        : journal_(journal), script_(script),
          presentations_(std::make_shared<fake::Presentations>(journal, script)) {}
    std::string Name() override {
        Alive("Name");
        return "Fake";
    }
    std::string Version() override {
        Alive("Version");
        return script_.version;
    }
    std::shared_ptr<automation::IPresentations> Presentations() override {
        Alive("Presentations");
        return presentations_;
    }
    int WindowState() override { return windowState; }
    void SetWindowState(int s) override { windowState = s; }
    bool Visible() override { return visible; }
    void SetVisible(bool v) override { visible = v; }
    std::shared_ptr<automation::ICommandBars> CommandBars() override {
        throw automation::AutomationError("CommandBars", "none");
    }
    void Quit() override {
        Alive("Quit");
        quit = true;
        ++journal_.powerPointsQuit;
    }
    bool quit = false;
    int windowState = 1;
    bool visible = false;
    std::shared_ptr<fake::Presentations> presentations() { return presentations_; }

private:
    void Alive(const char* member) {
        if (quit) {
            throw automation::AutomationError(member, "the application has quit");
        }
    }
    Journal& journal_;
    const Script& script_;
    std::shared_ptr<fake::Presentations> presentations_;
};

class Worksheet : public automation::IWorksheet {
public:
    void PasteSpecial(const std::string&, bool, bool) override {}
    std::shared_ptr<automation::IExcelShape> Shapes(int) override { return nullptr; }
};

class Workbook : public automation::IWorkbook {
public:
    std::shared_ptr<automation::IWorksheet> Worksheets(int) override { return sheet_; }
    bool Saved() override { return saved; }
    void SetSaved(bool s) override { saved = s; }
    void Close() override { closed = true; }
    bool saved = false;
    bool closed = false;

private:
    std::shared_ptr<Worksheet> sheet_ = std::make_shared<Worksheet>();
};

class Workbooks : public automation::IWorkbooks {
public:
    explicit Workbooks(Journal& journal) : journal_(journal) {}
    int Count() override { return static_cast<int>(books.size()); }
    std::shared_ptr<automation::IWorkbook> Add() override {
        ++journal_.workbooksAdded;
        books.push_back(std::make_shared<Workbook>());
        return books.back();
    }
    std::vector<std::shared_ptr<Workbook>> books;

private:
    Journal& journal_;
};

class Excel : public automation::IExcelApplication {
public:
    explicit Excel(Journal& journal)
        : journal_(journal), books_(std::make_shared<fake::Workbooks>(journal)) {}
    std::string Name() override {
        if (quit) {
            throw automation::AutomationError("Name", "quit");
        }
        return "FakeSheet";
    }
    std::shared_ptr<automation::IWorkbooks> Workbooks() override { return books_; }
    int WindowState() override { return windowState; }
    void SetWindowState(int s) override { windowState = s; }
    bool Visible() override { return visible; }
    void SetVisible(bool v) override { visible = v; }
    void Quit() override {
        quit = true;
        ++journal_.excelsQuit;
    }
    bool quit = false;
    int windowState = -4143;
    bool visible = false;

private:
    Journal& journal_;
    std::shared_ptr<fake::Workbooks> books_;
};

class Clipboard : public automation::IClipboard {
public:
    explicit Clipboard(Journal& journal) : journal_(journal) {}
    void Clear() override { ++journal_.clipboardClears; }
    bool ContainsMetafile() override { return false; }
    std::optional<automation::ColorBox> RenderMetafile(int, int) override { return std::nullopt; }

private:
    Journal& journal_;
};

class Provider : public automation::IOfficeProvider {
public:
    Provider() : clipboard_(journal) {}
    automation::ApplicationPtr GetActivePowerPoint() override {
        if (script.runningApp && !running_) {
            running_ = std::make_shared<Application>(journal, script);
            running_->presentations()->extraOpen = script.openPresentationsInRunningApp;
        }
        if (last && !last->quit) {
            return last;
        }
        if (running_ && !running_->quit) {
            return running_;
        }
        return nullptr;
    }
    automation::ApplicationPtr CreatePowerPoint() override {
        if (script.failCreatePowerPoint) {
            throw automation::AutomationError("CreateObject", "cannot create");
        }
        ++journal.powerPointsCreated;
        last = std::make_shared<Application>(journal, script);
        return last;
    }
    automation::ExcelApplicationPtr CreateExcel() override {
        if (script.failCreateExcel) {
            throw automation::AutomationError("CreateObject", "cannot create");
        }
        ++journal.excelsCreated;
        lastExcel = std::make_shared<Excel>(journal);
        return lastExcel;
    }
    automation::IClipboard& Clipboard() override { return clipboard_; }

    Journal journal;
    Script script;
    std::shared_ptr<Application> last;
    std::shared_ptr<Excel> lastExcel;

private:
    fake::Clipboard clipboard_;
    std::shared_ptr<Application> running_;
};

struct Message {
    std::string text;
    engine::MessageIcon icon;
    engine::MessageButtons buttons;
};

// Records everything and answers from scripts.
class Host : public engine::Host {
public:
    void AppendLog(const std::string& text) override { log += text + "\r\n"; }
    void AppendLogRaw(const std::string& text) override { log += text; }
    void ClearLog() override { log.clear(); }
    void SetStatus(const std::string& text) override {
        status = text;
        statuses.push_back(text);
    }
    std::string Status() const override { return status; }
    engine::MessageResult MessageBox(const std::string& text, engine::MessageIcon icon,
                                     engine::MessageButtons buttons) override {
        messages.push_back({text, icon, buttons});
        if (answers.empty()) {
            return buttons == engine::MessageButtons::Ok ? engine::MessageResult::Ok
                                                         : engine::MessageResult::Cancel;
        }
        auto a = answers.front();
        answers.erase(answers.begin());
        return a;
    }
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override {
        inputPrompts.push_back(prompt + "|" + title + "|" + defaultText);
        if (typed.empty()) {
            return std::nullopt;
        }
        auto t = typed.front();
        typed.erase(typed.begin());
        return t;
    }
    void DoEvents() override {
        if (onEvents) {
            onEvents();
        }
    }
    void Beep() override { ++beeps; }
    void SetRunning(bool r) override { running = r; }
    void SetCaptionSuffix(const std::string& s) override { caption = s; }

    std::string log;
    std::string status;
    std::vector<std::string> statuses;
    std::vector<Message> messages;
    std::vector<engine::MessageResult> answers;
    std::vector<std::optional<std::string>> typed;
    std::vector<std::string> inputPrompts;
    std::function<void()> onEvents;
    int beeps = 0;
    bool running = false;
    std::string caption;
};

} // namespace fake
