#include "settings/dialogs/frmOption.h"

#include "settings/Settings.h"
#include "settings/TargetSize.h"
#include "settings/dialogs/frmMovieOption.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <initializer_list>

namespace settings::dialogs {

namespace {

constexpr const char* kBrowseTip = "ﾀﾞｲｱﾛｸﾞを開く";
constexpr const char* kTargetSizeTip = "KB か MB で指定します (1KB = 1024 ﾊﾞｲﾄ)。例: 500KB、10MB、9.5MB";

QString U(const char* text) {
    return QString::fromUtf8(text);
}

int CheckState(const QCheckBox& box) {
    return box.isChecked() ? 1 : 0;
}

// A folder group: two option buttons, the path box and its browse button.
QGroupBox* FolderGroup(QWidget* parent, const char* title, const char* sameFolderText,
                       QRadioButton* (&options)[2], QLineEdit*& box, QToolButton*& browse) {
    auto* group = new QGroupBox(U(title), parent);
    options[0] = new QRadioButton(U(sameFolderText), group);
    options[1] = new QRadioButton(U("指定ﾌｫﾙﾀﾞ"), group);
    auto* buttons = new QButtonGroup(group);
    buttons->addButton(options[0], 0);
    buttons->addButton(options[1], 1);
    box = new QLineEdit(group);
    browse = new QToolButton(group);
    browse->setIcon(group->style()->standardIcon(QStyle::SP_DirOpenIcon));
    browse->setToolTip(U(kBrowseTip));
    auto* layout = new QGridLayout(group);
    layout->addWidget(options[0], 0, 0, 1, 3);
    layout->addWidget(options[1], 1, 0);
    layout->addWidget(box, 1, 1);
    layout->addWidget(browse, 1, 2);
    layout->setColumnStretch(1, 1);
    return group;
}

} // namespace

frmOption::frmOption(Settings& settings, std::string desktopFolder, frmMovieOption& movieOption,
                     QWidget* parent)
    : QDialog(parent), settings_(settings), desktopFolder_(std::move(desktopFolder)),
      movieOption_(movieOption) {
    setObjectName(QStringLiteral("frmOption"));
    setModal(true);

    chkMovie = new QCheckBox(U("埋め込み動画を圧縮対象に含める"), this);
    chkMovie->setToolTip(
        U("ﾊﾟﾜｰﾎﾟｲﾝﾄに埋め込まれている動画を圧縮対象に含めます (長時間かかることがあります)"));
    btnMovie = new QPushButton(U("埋め込み動画の圧縮方法を指定"), this);
    btnMovie->setToolTip(U("埋め込み動画の圧縮方法を指定します"));
    {
        // The style's own margin is a few pixels; a long caption needs room around it to read as a button.
        const QFontMetrics metrics(btnMovie->font());
        btnMovie->setMinimumSize(metrics.horizontalAdvance(btnMovie->text()) + 3 * metrics.height(),
                                 btnMovie->sizeHint().height() + metrics.height() / 2);
    }
    Label1 = new QLabel(U("同一出力ﾌｧｲﾙが存在する際の処理"), this);
    combSameFilename = new QComboBox(this);
    chkKeepFileDate = new QCheckBox(U("圧縮前ﾌｧｲﾙのﾌｧｲﾙ作成・更新日時を継承"), this);
    chkFileSize = new QCheckBox(U("圧縮前ﾌｧｲﾙｻｲｽﾞを出力ﾌｧｲﾙ名に表記"), this);
    chkDeckPictures = new QCheckBox(U("ｽﾗｲﾄﾞ以外の画像も圧縮する (背景・塗りつぶし・ﾏｽﾀｰ)"), this);
    chkDeckPictures->setToolTip(
        U("ｽﾗｲﾄﾞの背景、図形や表の塗りつぶし、ﾚｲｱｳﾄ・ﾏｽﾀｰ・ﾉｰﾄの画像も表示される大きさに合わせて圧縮します"));
    chkSubsetFonts = new QCheckBox(U("埋め込みﾌｫﾝﾄを使用文字だけにする"), this);
    chkSubsetFonts->setToolTip(U("埋め込みﾌｫﾝﾄをｽﾗｲﾄﾞで使われている文字だけに減らします。"
                                 "ﾌｫﾝﾄがない環境では、新しく入力した文字がほかのﾌｫﾝﾄで表示されます"));
    chkRemoveUnusedLayouts = new QCheckBox(U("未使用のﾚｲｱｳﾄを削除"), this);
    chkRemoveUnusedLayouts->setToolTip(U(
        "どのｽﾗｲﾄﾞも使っていないﾚｲｱｳﾄとｽﾗｲﾄﾞﾏｽﾀｰを削除します。削除したﾚｲｱｳﾄは新しいｽﾗｲﾄﾞに選べなくなります"));
    // Created in reading order, which is also the order Tab takes.
    chkTargetSize = new QCheckBox(U("目標ｻｲｽﾞ"), this);
    chkTargetSize->setToolTip(U("各ﾌｧｲﾙが指定の大きさ以下になる、いちばん軽い圧縮の設定を探します"));
    txtTargetSize = new QLineEdit(this);
    txtTargetSize->setToolTip(U(kTargetSizeTip));
    lblTargetSize = new QLabel(U("以下にする"), this);
    lblTargetAllow = new QLabel(U("目標に届かないときに使ってよい節約"), this);
    chkTargetAllowObjects = new QCheckBox(U("ｵﾌﾞｼﾞｪｸﾄを画像にする"), this);
    chkTargetAllowObjects->setToolTip(
        U("埋め込まれたｱﾌﾟﾘｹｰｼｮﾝｵﾌﾞｼﾞｪｸﾄを画像に変換します。変換したｵﾌﾞｼﾞｪｸﾄは編集できなくなります"));
    chkTargetAllowMedia = new QCheckBox(U("動画・音声を再圧縮する"), this);
    chkTargetAllowMedia->setToolTip(
        U("ﾌﾟﾚｾﾞﾝﾃｰｼｮﾝ内の動画・音声を動画圧縮の設定で再圧縮します。画質・音質が下がります"));
    chkTargetAllowFonts = new QCheckBox(U("ﾌｫﾝﾄを使用文字だけにする"), this);
    chkTargetAllowFonts->setToolTip(chkSubsetFonts->toolTip());
    chkTargetAllowLayouts = new QCheckBox(U("未使用のﾚｲｱｳﾄを削除する"), this);
    chkTargetAllowLayouts->setToolTip(chkRemoveUnusedLayouts->toolTip());
    Frame1 = FolderGroup(this, "ﾊﾟﾜｰﾎﾟｲﾝﾄﾌｧｲﾙの出力先ﾌｫﾙﾀﾞ", "元ﾊﾟﾜｰﾎﾟｲﾝﾄﾌｧｲﾙと同一ﾌｫﾙﾀﾞ", optPPTFolder,
                         txtPPTFolder, cmdBrowseFolderPPT);
    Frame2 = FolderGroup(this, "動画ﾌｧｲﾙ単体圧縮時の動画出力先ﾌｫﾙﾀﾞ", "元動画ﾌｧｲﾙと同一ﾌｫﾙﾀﾞ", optMovieFolder,
                         txtMovieFolder, cmdBrowseFolderMovie);
    btnOK = new QPushButton(U("閉じる"), this);
    btnReset = new QPushButton(U("リセット"), this);

    auto* movieRow = new QHBoxLayout;
    movieRow->addWidget(chkMovie);
    movieRow->addStretch();
    movieRow->addWidget(btnMovie);
    auto* sameRow = new QHBoxLayout;
    sameRow->addWidget(Label1);
    sameRow->addWidget(combSameFilename, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnOK);
    buttons->addWidget(btnReset);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(movieRow);
    layout->addLayout(sameRow);
    layout->addWidget(chkKeepFileDate);
    layout->addWidget(chkFileSize);
    layout->addWidget(chkDeckPictures);
    layout->addWidget(chkSubsetFonts);
    layout->addWidget(chkRemoveUnusedLayouts);
    layout->addLayout(TargetSizeRows());
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addLayout(buttons);
    setMinimumWidth(480);

    connect(chkMovie, &QCheckBox::toggled, this, [this] {
        settings_.Movie = CheckState(*chkMovie);
        chkMovie_Click();
    });
    connect(combSameFilename, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            settings_.SameFilename = index;
        }
    });
    connect(chkKeepFileDate, &QCheckBox::toggled, this,
            [this] { settings_.KeepFileDate = CheckState(*chkKeepFileDate); });
    connect(chkFileSize, &QCheckBox::toggled, this,
            [this] { settings_.ShowFileSize = CheckState(*chkFileSize); });
    connect(chkDeckPictures, &QCheckBox::toggled, this,
            [this] { settings_.DeckPictures = CheckState(*chkDeckPictures); });
    connect(chkSubsetFonts, &QCheckBox::toggled, this,
            [this] { settings_.SubsetFonts = CheckState(*chkSubsetFonts); });
    connect(chkRemoveUnusedLayouts, &QCheckBox::toggled, this,
            [this] { settings_.RemoveUnusedLayouts = CheckState(*chkRemoveUnusedLayouts); });
    connect(chkTargetSize, &QCheckBox::toggled, this, [this] {
        settings_.TargetSizeOn = CheckState(*chkTargetSize);
        chkTargetSize_Click();
    });
    connect(txtTargetSize, &QLineEdit::textChanged, this,
            [this](const QString& text) { txtTargetSize_Change(text); });
    connect(txtTargetSize, &QLineEdit::editingFinished, this, [this] { txtTargetSize_Validate(); });
    connect(chkTargetAllowObjects, &QCheckBox::toggled, this,
            [this] { settings_.TargetAllowObjects = CheckState(*chkTargetAllowObjects); });
    connect(chkTargetAllowMedia, &QCheckBox::toggled, this,
            [this] { settings_.TargetAllowMedia = CheckState(*chkTargetAllowMedia); });
    connect(chkTargetAllowFonts, &QCheckBox::toggled, this,
            [this] { settings_.TargetAllowFonts = CheckState(*chkTargetAllowFonts); });
    connect(chkTargetAllowLayouts, &QCheckBox::toggled, this,
            [this] { settings_.TargetAllowLayouts = CheckState(*chkTargetAllowLayouts); });
    connect(optPPTFolder[1], &QRadioButton::toggled, this,
            [this](bool on) { settings_.optPPTFolder = on ? 1 : 0; });
    connect(optMovieFolder[1], &QRadioButton::toggled, this,
            [this](bool on) { settings_.optMovieFolder = on ? 1 : 0; });
    connect(txtPPTFolder, &QLineEdit::textChanged, this,
            [this](const QString& text) { settings_.PPTFolder = text.toStdString(); });
    connect(txtMovieFolder, &QLineEdit::textChanged, this,
            [this](const QString& text) { settings_.MovieFolder = text.toStdString(); });
    connect(btnMovie, &QPushButton::clicked, this, [this] { btnMovie_Click(); });
    connect(cmdBrowseFolderPPT, &QToolButton::clicked, this, [this] { cmdBrowseFolderPPT_Click(); });
    connect(cmdBrowseFolderMovie, &QToolButton::clicked, this, [this] { cmdBrowseFolderMovie_Click(); });
    connect(btnOK, &QPushButton::clicked, this, [this] { btnOK_Click(); });
    connect(btnReset, &QPushButton::clicked, this, [this] { btnReset_Click(); });

    Form_Load();
    ShowSettings();
}

// The goal's row (check box, size, "以下にする") and below it, in line with the check box's caption,
// the savings the goal may add, two to a row.
QLayout* frmOption::TargetSizeRows() {
    const QFontMetrics metrics(txtTargetSize->font());
    txtTargetSize->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("0000.00MB")) + metrics.height());
    auto* goalRow = new QHBoxLayout;
    goalRow->addWidget(chkTargetSize);
    goalRow->addWidget(txtTargetSize);
    goalRow->addWidget(lblTargetSize);
    goalRow->addStretch();
    const int indent = style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, chkTargetSize) +
                       style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, chkTargetSize);
    auto* allowed = new QGridLayout;
    allowed->setContentsMargins(indent, 0, 0, 0);
    allowed->addWidget(lblTargetAllow, 0, 0, 1, 2);
    allowed->addWidget(chkTargetAllowObjects, 1, 0);
    allowed->addWidget(chkTargetAllowMedia, 1, 1);
    allowed->addWidget(chkTargetAllowFonts, 2, 0);
    allowed->addWidget(chkTargetAllowLayouts, 2, 1);
    allowed->setColumnStretch(1, 1);
    auto* rows = new QVBoxLayout;
    rows->addLayout(goalRow);
    rows->addLayout(allowed);
    return rows;
}

void frmOption::FillSameFilenameList() {
    const QSignalBlocker block(combSameFilename);
    combSameFilename->clear();
    combSameFilename->addItem(U("ﾀﾞｲｱﾛｸﾞを表示"));
    combSameFilename->addItem(U("常に上書き"));
}

void frmOption::ShowSettings() {
    // Copy first: each control writes its field back as soon as it changes.
    const Settings shown = settings_;
    chkMovie->setChecked(shown.Movie == 1);
    const int same = shown.SameFilename;
    combSameFilename->setCurrentIndex(same >= 0 && same < combSameFilename->count() ? same : 0);
    chkKeepFileDate->setChecked(shown.KeepFileDate == 1);
    chkFileSize->setChecked(shown.ShowFileSize == 1);
    chkDeckPictures->setChecked(shown.DeckPictures == 1);
    chkSubsetFonts->setChecked(shown.SubsetFonts == 1);
    chkRemoveUnusedLayouts->setChecked(shown.RemoveUnusedLayouts == 1);
    chkTargetSize->setChecked(shown.TargetSizeOn == 1);
    txtTargetSize->setText(QString::fromStdString(shown.TargetSize));
    chkTargetAllowObjects->setChecked(shown.TargetAllowObjects == 1);
    chkTargetAllowMedia->setChecked(shown.TargetAllowMedia == 1);
    chkTargetAllowFonts->setChecked(shown.TargetAllowFonts == 1);
    chkTargetAllowLayouts->setChecked(shown.TargetAllowLayouts == 1);
    optPPTFolder[shown.optPPTFolder == 0 ? 0 : 1]->setChecked(true);
    optMovieFolder[shown.optMovieFolder == 0 ? 0 : 1]->setChecked(true);
    txtPPTFolder->setText(QString::fromStdString(shown.PPTFolder));
    txtMovieFolder->setText(QString::fromStdString(shown.MovieFolder));
    chkMovie_Click();
    chkTargetSize_Click();
}

void frmOption::Form_Load() {
    setWindowTitle(U("オプション設定"));
    if (parentWidget() != nullptr) {
        setWindowIcon(parentWidget()->windowIcon());
    }
}

void frmOption::chkMovie_Click() {
    btnMovie->setVisible(chkMovie->isChecked());
}

void frmOption::chkTargetSize_Click() {
    const bool on = chkTargetSize->isChecked();
    for (QWidget* control :
         std::initializer_list<QWidget*>{txtTargetSize, lblTargetSize, lblTargetAllow, chkTargetAllowObjects,
                                         chkTargetAllowMedia, chkTargetAllowFonts, chkTargetAllowLayouts}) {
        control->setEnabled(on);
    }
}

// While a text is being typed it may not read as a size yet ("9.", "10M"): the record keeps the last
// goal that did, and the box shows in red that this one is not taken.
void frmOption::txtTargetSize_Change(const QString& text) {
    const bool readable = settings::ParseTargetSize(text.toStdString()).has_value();
    if (readable) {
        settings_.TargetSize = text.toStdString();
    }
    QPalette shown = palette();
    if (!readable) {
        shown.setColor(QPalette::Text, Qt::red);
    }
    txtTargetSize->setPalette(shown);
    txtTargetSize->setToolTip(readable ? U(kTargetSizeTip) : U("ｻｲｽﾞとして読めません。") + U(kTargetSizeTip));
}

void frmOption::txtTargetSize_Validate() {
    if (txtTargetSize->text().toStdString() != settings_.TargetSize) {
        txtTargetSize->setText(QString::fromStdString(settings_.TargetSize));
    }
}

void frmOption::btnMovie_Click() {
    movieOption_.exec();
}

void frmOption::Browse(QLineEdit& box, const QToolButton& button) {
    try {
        const std::string chosen =
            picker_ ? picker_(box.text().toStdString(), button.toolTip().toStdString()) : std::string();
        if (!chosen.empty()) {
            box.setText(QString::fromStdString(WithTrailingSeparator(chosen)));
        }
    } catch (...) {
        // The box keeps its text when the picker fails.
    }
}

void frmOption::cmdBrowseFolderPPT_Click() {
    Browse(*txtPPTFolder, *cmdBrowseFolderPPT);
}

void frmOption::cmdBrowseFolderMovie_Click() {
    Browse(*txtMovieFolder, *cmdBrowseFolderMovie);
}

void frmOption::btnOK_Click() {
    txtTargetSize_Validate();
    hide();
}

void frmOption::btnReset_Click() {
    optPPTFolder[0]->setChecked(true);
    optMovieFolder[0]->setChecked(true);
    txtPPTFolder->setText(QString::fromStdString(desktopFolder_));
    txtMovieFolder->setText(QString::fromStdString(desktopFolder_));
    chkFileSize->setChecked(true);
    chkKeepFileDate->setChecked(false);
    chkDeckPictures->setChecked(true);
    chkSubsetFonts->setChecked(false);
    chkRemoveUnusedLayouts->setChecked(false);
    const Settings defaults;
    chkTargetSize->setChecked(defaults.TargetSizeOn == 1);
    txtTargetSize->setText(QString::fromStdString(defaults.TargetSize));
    chkTargetAllowObjects->setChecked(defaults.TargetAllowObjects == 1);
    chkTargetAllowMedia->setChecked(defaults.TargetAllowMedia == 1);
    chkTargetAllowFonts->setChecked(defaults.TargetAllowFonts == 1);
    chkTargetAllowLayouts->setChecked(defaults.TargetAllowLayouts == 1);
    chkTargetSize_Click();
    combSameFilename->setCurrentIndex(1);
}

void frmOption::closeEvent(QCloseEvent* event) {
    txtTargetSize_Validate();
    event->ignore();
    hide();
}

} // namespace settings::dialogs
