#include "settings/dialogs/frmMovieOption.h"

#include "settings/Settings.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace settings::dialogs {

namespace {

const char* const kTargetItems[] = {
    "埋め込み動画とﾘﾝｸ先動画の両方を圧縮",
    "埋め込み動画(ｽﾗｲﾄﾞ内再生動画)のみ圧縮",
    "ﾘﾝｸ先動画(ﾒﾃﾞｨｱﾌﾟﾚｰﾔｰ再生動画)のみ圧縮",
};
const char* const kCondItems[] = {
    "全ての動画を圧縮(WMV化)",
    "元動画以下にｻｲｽﾞ縮小できる動画のみ圧縮",
    "元動画の半分以下にｻｲｽﾞ縮小できる動画のみ圧縮",
};

void SelectOrFirst(QComboBox& list, int index) {
    list.setCurrentIndex(index >= 0 && index < list.count() ? index : 0);
}

} // namespace

frmMovieOption::frmMovieOption(Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
    setObjectName(QStringLiteral("frmMovieOption"));
    setModal(true);
    Label1 =
        new QLabel(QString::fromUtf8("ﾊﾟﾜｰﾎﾟｲﾝﾄに埋め込まれている動画の圧縮方法を指定してください"), this);
    Label2 = new QLabel(QString::fromUtf8("圧縮対象とする動画の指定："), this);
    Label3 = new QLabel(QString::fromUtf8("圧縮条件の指定："), this);
    combTarget = new QComboBox(this);
    combCond = new QComboBox(this);
    chkMedia = new QCheckBox(QString::fromUtf8("ﾌﾟﾚｾﾞﾝﾃｰｼｮﾝ内の動画・音声も圧縮する"), this);
    chkMedia->setToolTip(QString::fromUtf8("埋め込まれた動画と音声をﾒｲﾝ画面の動画圧縮設定で圧縮し、"
                                           "小さくなったものだけ置き換えます"));
    btnOK = new QPushButton(QString::fromUtf8("閉じる"), this);
    btnReset = new QPushButton(QString::fromUtf8("リセット"), this);

    auto* grid = new QGridLayout;
    grid->addWidget(Label2, 0, 0);
    grid->addWidget(combTarget, 0, 1);
    grid->addWidget(Label3, 1, 0);
    grid->addWidget(combCond, 1, 1);
    grid->setColumnStretch(1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnReset);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addLayout(grid);
    layout->addWidget(chkMedia);
    layout->addLayout(buttons);

    connect(combTarget, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            settings_.MovieTarget = index;
        }
    });
    connect(combCond, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            settings_.MovieCond = index;
        }
    });
    connect(chkMedia, &QCheckBox::toggled, this, [this](bool on) { settings_.MediaInDeck = on ? 1 : 0; });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOK_Click(); });
    connect(btnReset, &QPushButton::clicked, this, [this] { btnReset_Click(); });
    Form_Load();
}

void frmMovieOption::FillLists() {
    // Filling is not a choice: the record keeps its values until ShowSettings.
    const QSignalBlocker blockTarget(combTarget);
    const QSignalBlocker blockCond(combCond);
    combTarget->clear();
    combCond->clear();
    for (const char* item : kTargetItems) {
        combTarget->addItem(QString::fromUtf8(item));
    }
    for (const char* item : kCondItems) {
        combCond->addItem(QString::fromUtf8(item));
    }
}

void frmMovieOption::ShowSettings() {
    SelectOrFirst(*combTarget, settings_.MovieTarget);
    SelectOrFirst(*combCond, settings_.MovieCond);
    chkMedia->setChecked(settings_.MediaInDeck == 1);
}

void frmMovieOption::Form_Load() {
    setWindowTitle(QString::fromUtf8("詳細設定"));
    if (parentWidget() != nullptr) {
        setWindowIcon(parentWidget()->windowIcon());
    }
}

void frmMovieOption::btnOK_Click() {
    hide();
}

void frmMovieOption::btnReset_Click() {
    combTarget->setCurrentIndex(0);
    combCond->setCurrentIndex(0);
    chkMedia->setChecked(false);
}

void frmMovieOption::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
}

} // namespace settings::dialogs
