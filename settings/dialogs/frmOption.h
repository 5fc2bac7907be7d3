#pragma once

// The output options: output folders, the same-name policy, file dates, the size in the output name
// and whether embedded movies are compressed. Its controls edit the settings record live; closing
// only hides it.

#include "settings/dialogs/BrowseFolderModule.h"

#include <QDialog>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLayout;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QToolButton;

namespace settings {
struct Settings;
}

namespace settings::dialogs {

class frmMovieOption;

class frmOption : public QDialog {
public:
    // desktopFolder: the reset value of both folders (no trailing separator).
    frmOption(Settings& settings, std::string desktopFolder, frmMovieOption& movieOption,
              QWidget* parent = nullptr);

    void SetFolderPicker(FolderPicker picker) { picker_ = std::move(picker); }

    // The two same-name items (filled at start-up before the setting is shown).
    void FillSameFilenameList();
    // Every control from the record.
    void ShowSettings();

    void Form_Load();
    void chkMovie_Click();
    // The size field and the allowed savings are usable only while a goal is set.
    void chkTargetSize_Click();
    // A goal text that is not a size is refused: the box shows the goal in effect again.
    void txtTargetSize_Validate();
    void btnMovie_Click();
    void cmdBrowseFolderPPT_Click();
    void cmdBrowseFolderMovie_Click();
    void btnOK_Click();
    void btnReset_Click();

    QCheckBox* chkMovie = nullptr;
    QPushButton* btnMovie = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* combSameFilename = nullptr;
    QCheckBox* chkKeepFileDate = nullptr;
    QCheckBox* chkSubsetFonts = nullptr;
    QCheckBox* chkRemoveUnusedLayouts = nullptr;
    QCheckBox* chkTargetSize = nullptr; // TargetSizeOn
    QLineEdit* txtTargetSize = nullptr; // TargetSize: takes only texts ParseTargetSize reads
    QLabel* lblTargetSize = nullptr;    // "以下にする" after the size
    QLabel* lblTargetAllow = nullptr;
    QCheckBox* chkTargetAllowObjects = nullptr;
    QCheckBox* chkTargetAllowMedia = nullptr;
    QCheckBox* chkTargetAllowFonts = nullptr;
    QCheckBox* chkTargetAllowLayouts = nullptr;
    QCheckBox* chkFileSize = nullptr;
    QCheckBox* chkDeckPictures = nullptr; // DeckPictures: backgrounds, fills, layouts, masters too
    QGroupBox* Frame1 = nullptr;
    QRadioButton* optPPTFolder[2] = {nullptr, nullptr};
    QLineEdit* txtPPTFolder = nullptr;
    QToolButton* cmdBrowseFolderPPT = nullptr;
    QGroupBox* Frame2 = nullptr;
    QRadioButton* optMovieFolder[2] = {nullptr, nullptr};
    QLineEdit* txtMovieFolder = nullptr;
    QToolButton* cmdBrowseFolderMovie = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnReset = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override; // Form_QueryUnload: hide instead

private:
    void Browse(QLineEdit& box, const QToolButton& button);
    QLayout* TargetSizeRows();
    void txtTargetSize_Change(const QString& text);

    Settings& settings_;
    std::string desktopFolder_;
    frmMovieOption& movieOption_;
    FolderPicker picker_ = BrowseForFolder;
};

} // namespace settings::dialogs
