#pragma once

// The main window: the input list, the compression conditions, Start/Stop, the log pane and the
// status line. Its controls edit the settings record live. It is also the engine's host.

#include "app/InputList.h"
#include "app/WebPages.h"
#include "engine/EngineState.h"
#include "engine/Host.h"
#include "settings/dialogs/BrowseFolderModule.h"

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMessageBox;
class QPlainTextEdit;
class QPushButton;

namespace settings {
struct Settings;
class ExceptionList;
class IniFile;
class RegistryStore;
namespace dialogs {
class frmMovieOption;
class frmObject;
class frmOption;
} // namespace dialogs
} // namespace settings

namespace app {

class SourceEdit;

// What the window works on; owned by the entry procedure.
struct MainWindowServices {
    settings::Settings& settings;
    settings::RegistryStore& registry;
    settings::IniFile& ini;
    settings::ExceptionList& exceptions;
    engine::EngineState& state;
    automation::IOfficeProvider* office = nullptr; // the engine's clipboard is emptied at exit when present
    std::string oleIniPath;
    std::string desktopFolder; // reset value of the output folders, no trailing separator
};

// Result of the office check at load: usable, busy (warn and go on), or the program must end.
enum class OfficeCheckResult { Ok, Busy, MustExit };

// The pieces that come from elsewhere (stores, batch run, office check) and the ones tests replace.
// An empty hook is skipped.
struct MainWindowHooks {
    std::function<void()> loadSettings; // fills the settings record from the store
    std::function<void()> saveSettings; // writes the settings record and "ole.ini"
    std::function<void(const std::string& inputText)> startRun;
    std::function<void()> stopRun;
    std::function<void()> showReport; // "結果を表示": the last run's visual report
    std::function<OfficeCheckResult()> checkOfficeEnvironment;
    std::function<void()> quitApplication; // default: QCoreApplication::quit

    OpenFileDialog openFileDialog;                // default: QFileDialog
    FolderAccess folders;                         // needed for dropped folders
    UrlOpener urlOpener;                          // default: the desktop's browser
    std::optional<PageSource> pages;              // default: DefaultPageSource
    settings::dialogs::FolderPicker folderPicker; // default: BrowseForFolder
    std::function<engine::MessageResult(const std::string&, engine::MessageIcon, engine::MessageButtons)>
        messageBox; // default: QMessageBox
    std::function<std::optional<std::string>(const std::string&, const std::string&, const std::string&)>
        inputBox; // default: QInputDialog
};

inline constexpr const char* kMsgCloseAllPresentations =
    "圧縮処理はパワーポイントを全て終了させてから行ってください。";

// Window size rule, all in twips: the width is fixed by the button column, the height has a floor,
// the status line and the log follow the height.
struct MainWindowLayout {
    int width;
    int height;
    int lblMsgTop;
    int txtLogHeight;
};
MainWindowLayout ResizeRule(int heightTwips);

// "Vodrik クオーネル Ver.1.8.1"
std::string VersionText();

class frmMain : public QMainWindow, public engine::Host {
public:
    // The movie profiles' names from the profile file, showing the record's choice; disabled when the
    // file cannot be used.
    void FillProfileList(const std::string& profileFile);
    frmMain(MainWindowServices services, MainWindowHooks hooks);
    ~frmMain() override;

    // Runs the load sequence and shows the window. False when the program has to end at once
    // (no office application could be started); nothing is saved then.
    bool Form_Load();
    // The closing sequence, once: empty the engine clipboard, save settings and "ole.ini", quit.
    void Form_Unload();
    bool Unloaded() const { return unloaded_; }
    // Ends the program at once without the closing sequence (no office application could be started).
    void EndWithoutSaving();
    bool EndedWithoutSaving() const { return endedAtStart_; }
    // The hooks may be completed after construction (before Form_Load).
    MainWindowHooks& Hooks() { return hooks_; }

    void Form_Resize();
    void btnStart_Click();
    void btnStop_Click();
    void btnOpen_Click();
    void btnClear_Click();
    void btnReset_Click();
    void btnObject_Click();
    void chkObject_Click();
    void mnuOption_Click();
    void mnuShowReport_Click();
    // "結果を表示" can be chosen once a run has something to show.
    void SetReportAvailable(bool available);
    void mnuQuit_Click();
    void mnuUpdate_Click();
    void mnuSupport_Click();
    void mnuAbout_Click();
    void txtSource_OLEDragDrop(const QMimeData& data);

    // The outer window size in twips.
    int HeightTwips() const;
    int WidthTwips() const;
    void SetHeightTwips(int twips);

    // The texts with CR LF line breaks.
    std::string SourceText() const;
    void SetSourceText(const std::string& text);
    std::string LogText() const;

    // The engine's view of this run (only when an office provider is present).
    engine::EngineContext Context();

    settings::dialogs::frmOption& OptionDialog() { return *frmOption_; }
    settings::dialogs::frmMovieOption& MovieOptionDialog() { return *frmMovieOption_; }
    settings::dialogs::frmObject& ObjectDialog() { return *frmObject_; }
    QMessageBox* VersionBox() const { return versionBox_; }

    // engine::Host
    void AppendLog(const std::string& text) override;
    void AppendLogRaw(const std::string& text) override;
    void ClearLog() override;
    void SetStatus(const std::string& text) override;
    std::string Status() const override;
    engine::MessageResult MessageBox(const std::string& text, engine::MessageIcon icon,
                                     engine::MessageButtons buttons) override;
    std::optional<std::string> InputBox(const std::string& prompt, const std::string& title,
                                        const std::string& defaultText) override;
    void DoEvents() override;
    void Beep() override;
    void SetRunning(bool running) override;
    void SetCaptionSuffix(const std::string& suffix) override;

    // Controls (named as the rest of the program knows them).
    QLabel* Label11 = nullptr;
    SourceEdit* txtSource = nullptr;
    QPushButton* btnOpen = nullptr;
    QPushButton* btnClear = nullptr;
    QGroupBox* Frame1 = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* combRatio = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* combFormat = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* combExpectRate = nullptr;
    QLabel* Label4 = nullptr;
    QCheckBox* chkObject = nullptr;
    QPushButton* btnObject = nullptr;
    QPushButton* btnReset = nullptr;
    QPushButton* btnStart = nullptr;
    QPushButton* btnStop = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* Label10 = nullptr; // "動画：" before combType
    QPlainTextEdit* txtLog = nullptr;
    QLabel* lblMsg = nullptr;
    QLabel* picCheck = nullptr;
    QLabel* picCompare = nullptr;
    QComboBox* combFileSize = nullptr;
    QComboBox* combPixelSize = nullptr;
    QComboBox* combType = nullptr;
    QPushButton* btnOption = nullptr;
    QAction* mnuOption = nullptr;
    QAction* mnuShowReport = nullptr;
    QAction* mnuQuit = nullptr;
    QAction* mnuUpdate = nullptr;
    QAction* mnuSupport = nullptr;
    QAction* mnuAbout = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateControls();
    void CreateMenus();
    void ConnectControls();
    void FillLists();
    void ShowSettings();
    int ClientTopPixels() const;
    double Dpi() const;
    void PlaceLogAndStatus(int heightTwips);

    MainWindowServices services_;
    MainWindowHooks hooks_;
    settings::dialogs::frmMovieOption* frmMovieOption_ = nullptr;
    settings::dialogs::frmOption* frmOption_ = nullptr;
    settings::dialogs::frmObject* frmObject_ = nullptr;
    QMessageBox* versionBox_ = nullptr;
    bool unloaded_ = false;
    bool endedAtStart_ = false;
    bool resizing_ = false;
};

} // namespace app
