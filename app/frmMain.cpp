#include "app/frmMain.h"

#include "app/SourceEdit.h"
#include "app/Twips.h"
#include "batch/TranscodingProfiles.h"
#include "platform/FileSystem.h"
#include "settings/Settings.h"
#include "settings/dialogs/frmMovieOption.h"
#include "settings/dialogs/frmObject.h"
#include "settings/dialogs/frmOption.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyle>
#include <algorithm>

namespace app {

namespace {

QString U(const char* text) {
    return QString::fromUtf8(text);
}

// Design geometry in twips (client coordinates; Frame1's children in the frame's).
constexpr int kNonClientWidth = 100;  // outer width 8545 around a client 8445 wide
constexpr int kNonClientHeight = 345; // outer height 6000 around a client 5655 high
constexpr int kBtnStartLeft = 7320;
constexpr int kBtnStartWidth = 975;
constexpr int kTxtLogTop = 4260;
constexpr int kLblMsgHeight = 180;

QIcon ApplicationIcon() {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(0x1f, 0x5f, 0xa8));
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(1, 1, 30, 30), 6, 6);
    painter.setBrush(Qt::white);
    painter.drawRect(QRectF(7, 9, 18, 14));
    painter.setBrush(QColor(0xf0, 0x8a, 0x24));
    painter.drawRect(QRectF(10, 12, 8, 8));
    painter.end();
    return QIcon(pixmap);
}

} // namespace

MainWindowLayout ResizeRule(int heightTwips) {
    MainWindowLayout layout{};
    layout.width = kBtnStartLeft + kBtnStartWidth + 250;
    layout.height = std::max(heightTwips, kTxtLogTop + 3050);
    layout.lblMsgTop = layout.height - kLblMsgHeight - 1000;
    layout.txtLogHeight = layout.height - kTxtLogTop - 1300;
    return layout;
}

std::string VersionText() {
    return std::string(engine::kAppTitle) + " Ver." + std::to_string(QUARNEL_VERSION_MAJOR) + "." +
           std::to_string(QUARNEL_VERSION_MINOR) + "." + std::to_string(QUARNEL_VERSION_PATCH);
}

frmMain::frmMain(MainWindowServices services, MainWindowHooks hooks)
    : services_(std::move(services)), hooks_(std::move(hooks)) {
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(U(engine::kAppTitle));
    setWindowIcon(ApplicationIcon());
    if (!hooks_.urlOpener) {
        hooks_.urlOpener = DefaultUrlOpener();
    }
    if (!hooks_.pages) {
        hooks_.pages = DefaultPageSource();
    }
    if (!hooks_.openFileDialog) {
        hooks_.openFileDialog = DefaultOpenFileDialog(this);
    }
    CreateMenus();
    CreateControls();

    using namespace settings::dialogs;
    frmMovieOption_ = new frmMovieOption(services_.settings, this);
    frmOption_ = new frmOption(services_.settings, services_.desktopFolder, *frmMovieOption_, this);
    frmOption_->SetFolderPicker(hooks_.folderPicker ? hooks_.folderPicker : FolderPicker(BrowseForFolder));
    frmObject_ = new frmObject(services_.settings, services_.exceptions, services_.registry, services_.ini,
                               services_.oleIniPath, this);
    ConnectControls();
    // The application being told to quit (not through the window) closes the same way.
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { Form_Unload(); });

    const double dpi = Dpi();
    const MainWindowLayout layout = ResizeRule(services_.settings.FormHeight);
    setFixedWidth(TwipsToPixels(layout.width - kNonClientWidth, dpi));
    setMinimumHeight(TwipsToPixels(ResizeRule(0).height - kNonClientHeight, dpi) + ClientTopPixels());
    SetHeightTwips(layout.height);
}

frmMain::~frmMain() = default;

double frmMain::Dpi() const {
    const int dpi = logicalDpiY();
    return dpi > 0 ? dpi : 96.0;
}

int frmMain::ClientTopPixels() const {
    return menuBar()->sizeHint().height();
}

void frmMain::CreateMenus() {
    QMenu* mnuFile = menuBar()->addMenu(U("ファイル(&F)"));
    mnuOption = mnuFile->addAction(U("出力オプション(&O)"));
    mnuShowReport = mnuFile->addAction(U("結果を表示(&R)"));
    mnuShowReport->setEnabled(false);
    mnuFile->addSeparator();
    mnuQuit = mnuFile->addAction(U("終了(&Q)"));
    QMenu* mnuHelp = menuBar()->addMenu(U("ヘルプ(&H)"));
    mnuUpdate = mnuHelp->addAction(U("最新バージョンチェック(&U)"));
    mnuSupport = mnuHelp->addAction(U("サポート(&S)"));
    mnuHelp->addSeparator();
    mnuAbout = mnuHelp->addAction(U("バージョン情報(&A)"));
}

void frmMain::CreateControls() {
    const double dpi = Dpi();
    auto* client = new QWidget(this);
    setCentralWidget(client);
    const int textHeight = fontMetrics().height();
    auto place = [dpi, textHeight](QWidget* control, int left, int top, int width, int height, bool label) {
        QRect rect = TwipsRect(left, top, width, height, dpi);
        if (label) {
            // Labels were sized for a narrower 12-pixel face: they keep their top left corner and grow
            // to the text in the font in use.
            rect.setHeight(std::max(rect.height(), textHeight));
            rect.setWidth(std::max(rect.width(), control->sizeHint().width()));
        }
        control->setGeometry(rect);
    };
    auto label = [&](QWidget* parent, const char* text, int left, int top, int width, int height) {
        auto* control = new QLabel(U(text), parent);
        place(control, left, top, width, height, true);
        return control;
    };

    Label11 = label(client,
                    "入力ﾌｧｲﾙ (.ppt / .pptx)  改行で複数指定可　          "
                    "ﾄﾞﾗｯｸﾞ＆ﾄﾞﾛｯﾌﾟまたは参照ﾎﾞﾀﾝで指定可",
                    120, 360, 7125, 180);
    txtSource = new SourceEdit(client);
    txtSource->setObjectName(QStringLiteral("txtSource"));
    txtSource->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    txtSource->setLineWrapMode(QPlainTextEdit::WidgetWidth); // vertical scroll bar only: long lines wrap
    txtSource->setAcceptDrops(true);
    place(txtSource, 120, 600, 7095, 1395, false);

    btnOpen = new QPushButton(U("参照..."), client);
    btnOpen->setToolTip(U("ダイアログを開く"));
    place(btnOpen, 7320, 600, 735, 435, false);
    btnClear = new QPushButton(U("クリア"), client);
    btnClear->setToolTip(U("クリア"));
    place(btnClear, 7320, 1140, 735, 435, false);

    Frame1 = new QGroupBox(U("条件設定"), client);
    place(Frame1, 120, 2100, 7095, 1755, false);
    Label5 = label(Frame1, "内部画像を", 240, 420, 870, 180);
    combRatio = new QComboBox(Frame1);
    combRatio->setToolTip(U("圧縮率（画質）の指定"));
    place(combRatio, 1260, 360, 1515, 300, false);
    Label1 = label(Frame1, "で", 2880, 420, 165, 180);
    combFormat = new QComboBox(Frame1);
    combFormat->setToolTip(U("推奨形式はJPEGを主体とし適宜ﾒﾀﾋﾟｸﾁｬをﾐｯｸｽさせる形式です"));
    place(combFormat, 3180, 360, 1275, 300, false);
    Label2 = label(Frame1, "に変換する", 4560, 420, 855, 180);
    Label3 = label(Frame1, "ﾌｧｲﾙｻｲｽﾞを", 240, 900, 960, 180);
    combExpectRate = new QComboBox(Frame1);
    combExpectRate->setEditable(true);
    combExpectRate->setInsertPolicy(QComboBox::NoInsert);
    combExpectRate->setToolTip(U("ﾌｧｲﾙｻｲｽﾞが指定の大きさ以下に圧縮できた画像のみ変換します"));
    place(combExpectRate, 1260, 840, 735, 300, false);
    Label4 = label(Frame1, "％以下に減らせる画像のみ変換する", 2100, 900, 2775, 180);
    // The movie profile: filled from the profile file, used by movie entries and media inside decks.
    Label10 = label(Frame1, "動画：", 5100, 900, 480, 180);
    combType = new QComboBox(Frame1);
    combType->setToolTip(U("動画の圧縮率の指定"));
    place(combType, 5640, 840, 1335, 300, false);
    chkObject = new QCheckBox(U("ｱﾌﾟﾘｹｰｼｮﾝｵﾌﾞｼﾞｪｸﾄを画像に変換する"), Frame1);
    chkObject->setToolTip(U("他ｱﾌﾟﾘｹｰｼｮﾝで作成されたｵﾌﾞｼﾞｪｸﾄを画像に変換し圧縮します"));
    place(chkObject, 240, 1290, 3255, 300, false);
    btnObject = new QPushButton(U("変換設定"), Frame1);
    btnObject->setToolTip(U("ｱﾌﾟﾘｹｰｼｮﾝ毎に画像変換の有無を指定します"));
    place(btnObject, 3540, 1230, 1335, 420, false);
    btnReset = new QPushButton(U("リセット"), Frame1);
    btnReset->setToolTip(U("リセット"));
    place(btnReset, 5640, 1230, 1335, 420, false);

    btnStart = new QPushButton(client);
    btnStart->setIcon(style()->standardIcon(QStyle::SP_MediaPlay));
    btnStart->setIconSize(QSize(16, 16));
    btnStart->setToolTip(U("圧縮開始"));
    place(btnStart, kBtnStartLeft, 2220, kBtnStartWidth, 855, false);
    btnStop = new QPushButton(client);
    btnStop->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    btnStop->setIconSize(QSize(16, 16));
    btnStop->setToolTip(U("停止"));
    place(btnStop, kBtnStartLeft, 3180, kBtnStartWidth, 495, false);

    Label9 = label(client, "ﾛｸﾞ", 120, 4020, 240, 180);
    txtLog = new QPlainTextEdit(client);
    txtLog->setObjectName(QStringLiteral("txtLog"));
    txtLog->setReadOnly(true);
    txtLog->setUndoRedoEnabled(false);
    txtLog->setLineWrapMode(QPlainTextEdit::WidgetWidth); // vertical scroll bar only: long lines wrap
    txtLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QPalette logPalette = txtLog->palette();
    logPalette.setColor(QPalette::Base, logPalette.color(QPalette::Button));
    txtLog->setPalette(logPalette);
    place(txtLog, 120, kTxtLogTop, 8235, 1035, false);
    // The status line spans the client width so that running texts are never cut.
    lblMsg = new QLabel(client);
    place(lblMsg, 120, 5400, 8235, kLblMsgHeight, true);

    // Never-visible helpers, parked outside the client area.
    picCheck = new QLabel(client);
    place(picCheck, 9000, 0, 1500, 1500, false);
    picCompare = new QLabel(client);
    place(picCompare, 10600, 0, 1500, 1500, false);
    combFileSize = new QComboBox(client);
    combFileSize->setEditable(true);
    combFileSize->setInsertPolicy(QComboBox::NoInsert);
    combFileSize->setToolTip(U("指定したﾌｧｲﾙｻｲｽﾞ以上の画像が変換対象となります"));
    place(combFileSize, 9000, 1600, 735, 300, false);
    combPixelSize = new QComboBox(client);
    combPixelSize->setEditable(true);
    combPixelSize->setInsertPolicy(QComboBox::NoInsert);
    combPixelSize->setToolTip(U("指定された表示ｻｲｽﾞより小さいｵﾌﾞｼﾞｪｸﾄを分解しないことで処理を高速化します("
                                "9999はｵﾌﾞｼﾞｪｸﾄを分解しません)"));
    place(combPixelSize, 9000, 2000, 735, 300, false);
    btnOption = new QPushButton(U("オプション設定"), client);
    place(btnOption, 9000, 2800, 1335, 420, false);
    for (QWidget* hidden : {static_cast<QWidget*>(picCheck), static_cast<QWidget*>(picCompare),
                            static_cast<QWidget*>(combFileSize), static_cast<QWidget*>(combPixelSize),
                            static_cast<QWidget*>(btnOption)}) {
        hidden->hide();
    }

    // Tab order: the input list first.
    setTabOrder(txtSource, btnOpen);
    setTabOrder(btnOpen, btnClear);
    setTabOrder(btnClear, combRatio);
    setTabOrder(combRatio, combFormat);
    setTabOrder(combFormat, combExpectRate);
    setTabOrder(combExpectRate, chkObject);
    setTabOrder(chkObject, btnObject);
    setTabOrder(btnObject, btnReset);
    setTabOrder(btnReset, btnStart);
    setTabOrder(btnStart, btnStop);
    setTabOrder(btnStop, txtLog);
}

void frmMain::ConnectControls() {
    settings::Settings& record = services_.settings;
    connect(combFormat, &QComboBox::currentIndexChanged, this, [&record](int index) {
        if (index >= 0) {
            record.Format = index;
        }
    });
    connect(combRatio, &QComboBox::currentIndexChanged, this, [&record](int index) {
        if (index >= 0) {
            record.Ratio = index;
        }
    });
    connect(combExpectRate, &QComboBox::currentTextChanged, this,
            [&record](const QString& text) { record.ExpectRate = text.toStdString(); });
    connect(combFileSize, &QComboBox::currentTextChanged, this,
            [&record](const QString& text) { record.FileSize = text.toStdString(); });
    connect(combPixelSize, &QComboBox::currentTextChanged, this,
            [&record](const QString& text) { record.PixelSize = text.toStdString(); });
    connect(combType, &QComboBox::currentIndexChanged, this, [&record](int index) { record.Encode = index; });
    connect(chkObject, &QCheckBox::toggled, this, [this, &record](bool on) {
        record.OLE = on ? 1 : 0;
        chkObject_Click();
    });

    connect(btnStart, &QPushButton::clicked, this, [this] { btnStart_Click(); });
    connect(btnStop, &QPushButton::clicked, this, [this] { btnStop_Click(); });
    connect(btnOpen, &QPushButton::clicked, this, [this] { btnOpen_Click(); });
    connect(btnClear, &QPushButton::clicked, this, [this] { btnClear_Click(); });
    connect(btnReset, &QPushButton::clicked, this, [this] { btnReset_Click(); });
    connect(btnObject, &QPushButton::clicked, this, [this] { btnObject_Click(); });
    connect(btnOption, &QPushButton::clicked, this, [this] { mnuOption_Click(); });
    connect(mnuOption, &QAction::triggered, this, [this] { mnuOption_Click(); });
    connect(mnuShowReport, &QAction::triggered, this, [this] { mnuShowReport_Click(); });
    connect(mnuQuit, &QAction::triggered, this, [this] { mnuQuit_Click(); });
    connect(mnuUpdate, &QAction::triggered, this, [this] { mnuUpdate_Click(); });
    connect(mnuSupport, &QAction::triggered, this, [this] { mnuSupport_Click(); });
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });
    txtSource->SetDropHandler([this](const QMimeData& data) { txtSource_OLEDragDrop(data); });
}

void frmMain::FillLists() {
    // Filling is not a choice: the record keeps its values until the settings are shown.
    const auto fill = [](QComboBox* list, std::initializer_list<const char*> items) {
        const QSignalBlocker block(list);
        list->clear();
        for (const char* item : items) {
            list->addItem(U(item));
        }
    };
    fill(combFormat, {"推奨形式", "JPEG", "PNG", "GIF", "ﾒﾀﾋﾟｸﾁｬ"});
    fill(combRatio, {"ｻｲｽﾞ最優先", "ｻｲｽﾞ優先", "標準画質", "画質優先", "画質最優先"});
    fill(combFileSize, {"10", "50", "100", "500", "1000"});
    fill(combExpectRate, {"95", "75", "50", "25", "10"});
    fill(combPixelSize, {"10", "50", "100", "9999"});
    frmOption_->FillSameFilenameList();
    FillProfileList(batch::TranscodingIniPath(platform::gFSO.ProgramFolder()));
}

void frmMain::FillProfileList(const std::string& path) {
    const QSignalBlocker block(combType);
    combType->clear();
    batch::MovieProfiles profiles;
    if (const auto error = batch::LoadTranscodingProfiles(path, profiles)) {
        // Without the file no movie can be compressed; the run says so in the log as well.
        combType->setEnabled(false);
        combType->setToolTip(U("動画圧縮の設定ﾌｧｲﾙを読み込めませんでした：") + QString::fromStdString(path));
        return;
    }
    for (const std::string& name : batch::ProfileNames(profiles)) {
        combType->addItem(QString::fromStdString(name));
    }
    const int chosen = services_.settings.Encode;
    combType->setCurrentIndex(chosen >= 0 && chosen < combType->count() ? chosen : 0);
    combType->setEnabled(true);
    combType->setToolTip(U("動画の圧縮率の指定"));
}

int frmMain::HeightTwips() const {
    return PixelsToTwips(height() - ClientTopPixels(), Dpi()) + kNonClientHeight;
}

int frmMain::WidthTwips() const {
    return PixelsToTwips(width(), Dpi()) + kNonClientWidth;
}

void frmMain::SetHeightTwips(int twips) {
    resize(width(), TwipsToPixels(twips - kNonClientHeight, Dpi()) + ClientTopPixels());
    Form_Resize();
}

void frmMain::PlaceLogAndStatus(int heightTwips) {
    const double dpi = Dpi();
    const MainWindowLayout layout = ResizeRule(heightTwips);
    QRect status = lblMsg->geometry();
    status.moveTop(TwipsToPixels(layout.lblMsgTop, dpi));
    lblMsg->setGeometry(status);
    QRect log = txtLog->geometry();
    log.setHeight(std::max(0, TwipsToPixels(layout.txtLogHeight, dpi)));
    txtLog->setGeometry(log);
}

void frmMain::Form_Resize() {
    if (resizing_ || isMinimized()) {
        return;
    }
    resizing_ = true;
    try {
        const double dpi = Dpi();
        const MainWindowLayout layout = ResizeRule(HeightTwips());
        // Compare in pixels: twips do not survive the round trip exactly.
        const QSize wanted(TwipsToPixels(layout.width - kNonClientWidth, dpi),
                           TwipsToPixels(layout.height - kNonClientHeight, dpi) + ClientTopPixels());
        if (width() != wanted.width() || height() < wanted.height()) {
            resize(wanted.width(), std::max(height(), wanted.height()));
        }
        const int heightTwips = height() <= wanted.height() ? layout.height : HeightTwips();
        PlaceLogAndStatus(heightTwips);
        services_.settings.FormHeight = heightTwips;
    } catch (...) {
        // Resizing never fails the window.
    }
    resizing_ = false;
}

void frmMain::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

engine::EngineContext frmMain::Context() {
    if (services_.office == nullptr) {
        throw std::logic_error("no office provider");
    }
    return engine::EngineContext{
        *this,          services_.settings, services_.exceptions, services_.registry, *services_.office,
        services_.state};
}

} // namespace app
