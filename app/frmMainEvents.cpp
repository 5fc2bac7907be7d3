// The main window's load and close sequences and its control handlers.

#include "app/SourceEdit.h"
#include "app/frmMain.h"
#include "settings/Settings.h"
#include "settings/dialogs/JapaneseDialogs.h"
#include "settings/dialogs/frmMovieOption.h"
#include "settings/dialogs/frmObject.h"
#include "settings/dialogs/frmOption.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace app {

namespace {

void SelectIndex(QComboBox& list, int index, int fallback) {
    list.setCurrentIndex(index >= 0 && index < list.count() ? index : fallback);
}

} // namespace

void frmMain::ShowSettings() {
    // Copy first: every control writes its field back as soon as it changes.
    const settings::Settings shown = services_.settings;
    chkObject->setChecked(shown.OLE == 1);
    chkObject_Click();
    frmOption_->ShowSettings(); // Movie (with its click handler), same-name, dates, size, folders
    SelectIndex(*combFormat, shown.Format, 0);
    SelectIndex(*combRatio, shown.Ratio, 2);
    combFileSize->setEditText(QString::fromStdString(shown.FileSize));
    combExpectRate->setEditText(QString::fromStdString(shown.ExpectRate));
    combPixelSize->setEditText(QString::fromStdString(shown.PixelSize));
    SelectIndex(*combType, shown.Encode, 0);
    frmObject_->Refresh(); // Twice
}

bool frmMain::Form_Load() {
    setWindowTitle(QString::fromUtf8(engine::kAppTitle));
    FillLists();
    if (hooks_.loadSettings) {
        hooks_.loadSettings();
    }
    ShowSettings();
    try {
        SetHeightTwips(services_.settings.FormHeight);
    } catch (...) {
    }
    picCheck->hide();
    picCompare->hide();
    show();
    txtSource->setFocus();
    btnStart->setEnabled(true);
    btnStop->setEnabled(false);
    lblMsg->clear();
    try {
        frmObject_->initExceptionList();
    } catch (...) {
    }
    try {
        frmMovieOption_->FillLists();
        frmMovieOption_->ShowSettings();
    } catch (...) {
    }
    if (hooks_.checkOfficeEnvironment) {
        OfficeCheckResult result = OfficeCheckResult::Ok;
        try {
            result = hooks_.checkOfficeEnvironment();
        } catch (...) {
            result = OfficeCheckResult::Ok;
        }
        if (result == OfficeCheckResult::MustExit) {
            // The check has told the person already; the program ends without saving anything.
            EndWithoutSaving();
            return false;
        }
        if (result == OfficeCheckResult::Busy) {
            MessageBox(kMsgCloseAllPresentations, engine::MessageIcon::Exclamation,
                       engine::MessageButtons::Ok);
        }
    }
    lblMsg->setText(QStringLiteral("OK"));
    return true;
}

void frmMain::EndWithoutSaving() {
    if (unloaded_) {
        return;
    }
    endedAtStart_ = true;
    unloaded_ = true;
    if (versionBox_ != nullptr) {
        versionBox_->close();
    }
    hide();
    if (hooks_.quitApplication) {
        hooks_.quitApplication();
    } else {
        QCoreApplication::quit();
    }
}

void frmMain::Form_Unload() {
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    // A run still in progress (closing from inside its event pump) is told to stop.
    if (btnStop->isEnabled() && hooks_.stopRun) {
        try {
            hooks_.stopRun();
        } catch (...) {
        }
    }
    if (services_.office != nullptr) {
        try {
            services_.office->Clipboard().Clear();
        } catch (...) {
        }
    }
    services_.settings.Encode = combType->currentIndex();
    if (hooks_.saveSettings) {
        try {
            hooks_.saveSettings();
        } catch (...) {
        }
    }
    if (versionBox_ != nullptr) {
        versionBox_->close();
    }
    hide();
    if (hooks_.quitApplication) {
        hooks_.quitApplication();
    } else {
        QCoreApplication::quit();
    }
}

void frmMain::closeEvent(QCloseEvent* event) {
    // Form_QueryUnload: every way of closing runs the one closing sequence.
    Form_Unload();
    event->accept();
}

void frmMain::btnStart_Click() {
    if (hooks_.startRun) {
        hooks_.startRun(SourceText());
    }
}

void frmMain::mnuShowReport_Click() {
    if (hooks_.showReport) {
        hooks_.showReport();
    }
}

void frmMain::SetReportAvailable(bool available) {
    mnuShowReport->setEnabled(available);
}

void frmMain::btnStop_Click() {
    // Pressed once is enough: the run stops after its current slide and enables Start again.
    btnStop->setEnabled(false);
    if (hooks_.stopRun) {
        hooks_.stopRun();
    }
}

void frmMain::btnOpen_Click() {
    std::optional<std::vector<std::string>> chosen;
    try {
        chosen = hooks_.openFileDialog ? hooks_.openFileDialog() : std::nullopt;
    } catch (...) {
        chosen.reset();
    }
    if (!chosen || chosen->empty()) {
        return;
    }
    AddChosenFiles(*txtSource, *chosen);
}

void frmMain::txtSource_OLEDragDrop(const QMimeData& data) {
    DropOnInputList(*txtSource, data, hooks_.folders);
}

void frmMain::btnClear_Click() {
    txtSource->clear();
    txtLog->clear();
}

void frmMain::btnReset_Click() {
    combFormat->setCurrentIndex(0);
    combRatio->setCurrentIndex(2);
    combFileSize->setEditText(QStringLiteral("50"));
    combExpectRate->setEditText(QStringLiteral("75"));
    combPixelSize->setEditText(QStringLiteral("50"));
    chkObject->setChecked(false);
    frmOption_->chkMovie->setChecked(false);
    // The check boxes' own handlers ran if their state changed; run them anyway so the buttons follow.
    chkObject_Click();
    frmOption_->chkMovie_Click();
}

void frmMain::chkObject_Click() {
    btnObject->setVisible(chkObject->isChecked());
}

void frmMain::btnObject_Click() {
    frmObject_->Refresh();
    frmObject_->exec();
}

void frmMain::mnuOption_Click() {
    frmOption_->exec();
}

void frmMain::mnuQuit_Click() {
    close();
    Form_Unload(); // when the window was never shown, close() alone sends no event
}

void frmMain::mnuUpdate_Click() {
    OpenUpdatePage(*hooks_.pages, hooks_.urlOpener, *this);
}

void frmMain::mnuSupport_Click() {
    OpenSupportPage(*hooks_.pages, hooks_.urlOpener, *this);
}

void frmMain::mnuAbout_Click() {
    if (versionBox_ == nullptr) {
        versionBox_ = new QMessageBox(this);
        versionBox_->setWindowModality(Qt::NonModal);
        versionBox_->setStandardButtons(QMessageBox::Ok);
        settings::dialogs::SetJapaneseButtons(*versionBox_);
    }
    versionBox_->setWindowTitle(windowTitle());
    versionBox_->setWindowIcon(windowIcon());
    versionBox_->setIconPixmap(windowIcon().pixmap(32, 32));
    versionBox_->setText(QString::fromStdString(VersionText()));
    versionBox_->show();
    versionBox_->raise();
}

std::string frmMain::SourceText() const {
    return InputListText(*txtSource);
}

void frmMain::SetSourceText(const std::string& text) {
    txtSource->setPlainText(QString::fromStdString(text));
}

std::string frmMain::LogText() const {
    return InputListText(*txtLog);
}

} // namespace app
