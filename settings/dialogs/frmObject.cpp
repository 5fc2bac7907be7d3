#include "settings/dialogs/frmObject.h"

#include "settings/ExceptionList.h"
#include "settings/Settings.h"
#include "settings/basIniFile.h"
#include "settings/modRegAccess.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace settings::dialogs {

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

} // namespace

frmObject::frmObject(Settings& settings, ExceptionList& exceptions, RegistryStore& registry, IniFile& ini,
                     std::string oleIniPath, QWidget* parent)
    : QDialog(parent), settings_(settings), exceptions_(exceptions), registry_(registry), ini_(ini),
      oleIniPath_(std::move(oleIniPath)) {
    setObjectName(QStringLiteral("frmObject"));
    setModal(true);

    Label1 = new QLabel(U("ﾊﾟｿｺﾝにｲﾝｽﾄｰﾙされているｱﾌﾟﾘｹｰｼｮﾝ毎に画像変換の有無を指定できます"), this);
    Label1->setWordWrap(true);
    lstException = new QListWidget(this);
    lblApp = new QLabel(this);
    lblApp->setWordWrap(true);
    optFormat[0] = new QRadioButton(U(kConvert), this);
    optFormat[1] = new QRadioButton(U(kDoNotConvert), this);
    formatGroup_ = new QButtonGroup(this);
    formatGroup_->addButton(optFormat[0], 0);
    formatGroup_->addButton(optFormat[1], 1);
    chkTwice = new QCheckBox(U("再圧縮あり"), this);
    chkTwice->setToolTip(U("画像変換後にJPEGで再圧縮する"));
    btnOK = new QPushButton(U("閉じる"), this);
    btnReset = new QPushButton(U("リセット"), this);

    auto* side = new QVBoxLayout;
    side->addWidget(lblApp);
    side->addWidget(optFormat[0]);
    side->addWidget(optFormat[1]);
    side->addSpacing(8);
    side->addWidget(chkTwice);
    side->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(lstException, 1);
    middle->addLayout(side, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnReset);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(middle, 1);
    layout->addLayout(buttons);
    resize(460, 320);

    connect(lstException, &QListWidget::currentRowChanged, this, [this](int) { lstException_Click(); });
    connect(formatGroup_, &QButtonGroup::idClicked, this, [this](int index) { optFormat_Click(index); });
    connect(chkTwice, &QCheckBox::toggled, this, [this](bool on) { settings_.Twice = on ? 1 : 0; });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOK_Click(); });
    connect(btnReset, &QPushButton::clicked, this, [this] { btnReset_Click(); });

    Form_Load();
    Refresh();
}

void frmObject::initExceptionList() {
    exceptions_.initExceptionList(ini_, oleIniPath_, registry_);
    Refresh();
}

void frmObject::Refresh() {
    const int selected = lstException->currentRow();
    const auto& entries = exceptions_.entries();
    // Keep the rows already shown (the engine only appends) so the selection stays put.
    if (lstException->count() > static_cast<int>(entries.size())) {
        lstException->clear();
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QString name = QString::fromStdString(entries[i].name);
        if (static_cast<int>(i) < lstException->count()) {
            lstException->item(static_cast<int>(i))->setText(name);
        } else {
            lstException->addItem(name);
        }
    }
    if (selected >= lstException->count()) {
        lstException->setCurrentRow(-1);
    }
    chkTwice->setChecked(settings_.Twice == 1);
}

void frmObject::Form_Load() {
    setWindowTitle(U("詳細設定"));
    if (parentWidget() != nullptr) {
        setWindowIcon(parentWidget()->windowIcon());
    }
    lblApp->clear();
}

void frmObject::lstException_Click() {
    const int index = lstException->currentRow();
    const auto& entries = exceptions_.entries();
    if (index < 0 || index >= static_cast<int>(entries.size())) {
        return;
    }
    const std::string decision = entries[static_cast<std::size_t>(index)].decision;
    std::string description;
    if (!registry_.ReadValue(Hive::ClassesRoot, entries[static_cast<std::size_t>(index)].name, "",
                             description)) {
        description.clear();
    }
    lblApp->setText(QString::fromStdString(description));
    for (QRadioButton* option : optFormat) {
        if (option->text().toStdString() == decision) {
            option->setChecked(true);
        }
    }
}

void frmObject::optFormat_Click(int index) {
    const int selected = lstException->currentRow();
    if (selected < 0 || index < 0 || index > 1) {
        return;
    }
    exceptions_.SetDecision(static_cast<std::size_t>(selected), optFormat[index]->text().toStdString());
}

void frmObject::btnOK_Click() {
    hide();
}

void frmObject::btnReset_Click() {
    exceptions_.Clear();
    lstException->clear();
    ini_.IniFilePath = oleIniPath_;
    chkTwice->setChecked(true);
    QFile::remove(QString::fromStdString(oleIniPath_)); // a missing file is no error
    initExceptionList();
}

void frmObject::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

void frmObject::showEvent(QShowEvent* event) {
    Refresh();
    QDialog::showEvent(event);
}

} // namespace settings::dialogs
