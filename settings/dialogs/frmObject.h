#pragma once

// Per-application object conversion: a view of the exception list with the decision of the selected
// application and the recompress option. Closing only hides it, so the list lives for the whole run.

#include <QDialog>
#include <string>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace settings {
struct Settings;
class ExceptionList;
class IniFile;
class RegistryStore;
} // namespace settings

namespace settings::dialogs {

class frmObject : public QDialog {
public:
    frmObject(Settings& settings, ExceptionList& exceptions, RegistryStore& registry, IniFile& ini,
              std::string oleIniPath, QWidget* parent = nullptr);

    // Loads "ole.ini" (or the defaults), then the installed applications, and shows the names.
    void initExceptionList();
    // Shows the list's names again (the engine adds applications during a run) and chkTwice.
    void Refresh();

    void Form_Load();
    void lstException_Click();
    void optFormat_Click(int index);
    void btnOK_Click();
    void btnReset_Click();

    QLabel* Label1 = nullptr;
    QListWidget* lstException = nullptr;
    QLabel* lblApp = nullptr;
    QRadioButton* optFormat[2] = {nullptr, nullptr};
    QCheckBox* chkTwice = nullptr;
    QPushButton* btnOK = nullptr;
    QPushButton* btnReset = nullptr;

protected:
    void closeEvent(QCloseEvent* event) override; // Form_QueryUnload: hide instead
    void showEvent(QShowEvent* event) override;

private:
    Settings& settings_;
    ExceptionList& exceptions_;
    RegistryStore& registry_;
    IniFile& ini_;
    std::string oleIniPath_;
    QButtonGroup* formatGroup_ = nullptr;
};

} // namespace settings::dialogs
