#include "WindowFixture.h"
#include "settings/dialogs/frmMovieOption.h"
#include "settings/dialogs/frmObject.h"
#include "settings/dialogs/frmOption.h"
#include "support/WorkFolders.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPalette>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

using settings::Hive;
using settings::dialogs::frmMovieOption;
using settings::dialogs::frmObject;
using settings::dialogs::frmOption;
using testsupport::Native;

namespace {

// Keys as the person presses them: the box sees each character, then Return ends the edit.
void Type(QLineEdit& box, const QString& text) {
    box.selectAll();
    QKeyEvent erase(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
    QCoreApplication::sendEvent(&box, &erase);
    for (const QChar c : text) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QCoreApplication::sendEvent(&box, &key);
    }
}

void PressReturn(QLineEdit& box) {
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QCoreApplication::sendEvent(&box, &enter);
}

std::vector<QCheckBox*> AllowedSavings(const frmOption& options) {
    return {options.chkTargetAllowObjects, options.chkTargetAllowMedia, options.chkTargetAllowFonts,
            options.chkTargetAllowLayouts};
}

} // namespace

TEST_F(WindowFixture, UncheckingMovieHidesItsButtonAtOnce) {
    LoadWindow();
    frmOption& options = window->OptionDialog();
    options.show();
    options.chkMovie->click();
    EXPECT_EQ(record.Movie, 1);
    EXPECT_TRUE(options.btnMovie->isVisible());
    options.chkMovie->click();
    EXPECT_EQ(record.Movie, 0);
    EXPECT_FALSE(options.btnMovie->isVisible());
    options.hide();
}

TEST_F(WindowFixture, OptionResetAndCloseBox) {
    LoadWindow();
    frmOption& options = window->OptionDialog();
    options.show();
    options.optPPTFolder[1]->click();
    options.optMovieFolder[1]->click();
    options.txtPPTFolder->setText(QStringLiteral("/out/ppt/"));
    options.txtMovieFolder->setText(QStringLiteral("/out/movie/"));
    options.chkFileSize->setChecked(false);
    options.chkKeepFileDate->setChecked(true);
    options.chkMovie->setChecked(true);
    EXPECT_TRUE(options.chkDeckPictures->isChecked()); // on by default
    options.chkDeckPictures->setChecked(false);
    EXPECT_EQ(record.DeckPictures, 0);
    EXPECT_EQ(record.optPPTFolder, 1);
    EXPECT_EQ(record.PPTFolder, "/out/ppt/");
    EXPECT_EQ(record.ShowFileSize, 0);

    // The close box only hides: every value stays.
    options.close();
    EXPECT_FALSE(options.isVisible());
    EXPECT_TRUE(options.optPPTFolder[1]->isChecked());
    EXPECT_EQ(options.txtMovieFolder->text(), QStringLiteral("/out/movie/"));
    EXPECT_TRUE(options.chkKeepFileDate->isChecked());
    EXPECT_EQ(record.optMovieFolder, 1);
    EXPECT_EQ(record.MovieFolder, "/out/movie/");
    EXPECT_EQ(record.KeepFileDate, 1);

    options.btnReset->click();
    EXPECT_EQ(options.combSameFilename->currentText(), QStringLiteral("常に上書き"));
    EXPECT_TRUE(options.chkFileSize->isChecked());
    EXPECT_FALSE(options.chkKeepFileDate->isChecked());
    EXPECT_TRUE(options.chkDeckPictures->isChecked());
    EXPECT_EQ(record.DeckPictures, 1);
    EXPECT_TRUE(options.optPPTFolder[0]->isChecked());
    EXPECT_TRUE(options.optMovieFolder[0]->isChecked());
    EXPECT_EQ(options.txtPPTFolder->text().toStdString(), desktop);
    EXPECT_EQ(options.txtMovieFolder->text().toStdString(), desktop);
    EXPECT_TRUE(options.chkMovie->isChecked()); // not the reset's business
    EXPECT_EQ(record.SameFilename, 1);
    EXPECT_EQ(record.ShowFileSize, 1);
    EXPECT_EQ(record.KeepFileDate, 0);
    EXPECT_EQ(record.optPPTFolder, 0);
    EXPECT_EQ(record.optMovieFolder, 0);
    EXPECT_EQ(record.PPTFolder, desktop);
    EXPECT_EQ(record.MovieFolder, desktop);
}

TEST_F(WindowFixture, BrowseButtonsPutTheChosenFolderWithOneSeparator) {
    std::string answer;
    std::vector<std::pair<std::string, std::string>> asked;
    app::MainWindowHooks hooks = RecordingHooks();
    hooks.folderPicker = [&](const std::string& start, const std::string& title) {
        asked.emplace_back(start, title);
        return answer;
    };
    MakeWindow(hooks);
    ASSERT_TRUE(window->Form_Load());
    frmOption& options = window->OptionDialog();
    options.txtPPTFolder->setText(QStringLiteral("/start/here/"));

    // A chosen folder is put with the system's separator throughout, one at its end.
    answer = "/chosen/folder";
    options.cmdBrowseFolderPPT->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first, "/start/here/");
    EXPECT_EQ(asked[0].second, "ﾀﾞｲｱﾛｸﾞを開く");
    EXPECT_EQ(options.txtPPTFolder->text().toStdString(), Native("/chosen/folder/"));
    EXPECT_EQ(record.PPTFolder, Native("/chosen/folder/"));

    answer = ""; // cancelled
    options.cmdBrowseFolderPPT->click();
    EXPECT_EQ(options.txtPPTFolder->text().toStdString(), Native("/chosen/folder/"));

    answer = "/";
    options.cmdBrowseFolderMovie->click();
    EXPECT_EQ(options.txtMovieFolder->text().toStdString(), Native("/"));
    EXPECT_EQ(settings::dialogs::WithTrailingSeparator("/a/"), Native("/a/"));
#ifdef _WIN32
    // What the shell's picker answers: a drive's root keeps its one separator.
    EXPECT_EQ(settings::dialogs::WithTrailingSeparator("C:\\"), "C:\\");
    EXPECT_EQ(settings::dialogs::WithTrailingSeparator("D:\\資料\\出力"), "D:\\資料\\出力\\");
#endif
}

TEST_F(WindowFixture, MovieOptionsListsResetAndHide) {
    registry->WriteText(Hive::LocalMachine, settings::kSettingsKey, "MovieTarget", "2");
    registry->WriteText(Hive::LocalMachine, settings::kSettingsKey, "MovieCond", "1");
    registry->WriteText(Hive::LocalMachine, settings::kSettingsKey, "MediaInDeck", "1");
    LoadWindow();
    frmMovieOption& movies = window->MovieOptionDialog();
    EXPECT_TRUE(movies.chkMedia->isChecked());
    EXPECT_EQ(movies.chkMedia->text(), QStringLiteral("ﾌﾟﾚｾﾞﾝﾃｰｼｮﾝ内の動画・音声も圧縮する"));
    ASSERT_EQ(movies.combTarget->count(), 3);
    ASSERT_EQ(movies.combCond->count(), 3);
    EXPECT_EQ(movies.combTarget->itemText(2), QStringLiteral("ﾘﾝｸ先動画(ﾒﾃﾞｨｱﾌﾟﾚｰﾔｰ再生動画)のみ圧縮"));
    EXPECT_EQ(movies.combCond->itemText(0), QStringLiteral("全ての動画を圧縮(WMV化)"));
    EXPECT_EQ(movies.combTarget->currentIndex(), 2);
    EXPECT_EQ(movies.combCond->currentIndex(), 1);
    movies.show();
    movies.close();
    EXPECT_FALSE(movies.isVisible());
    EXPECT_EQ(movies.combTarget->currentIndex(), 2);
    movies.btnReset->click();
    EXPECT_EQ(movies.combTarget->currentIndex(), 0);
    EXPECT_EQ(movies.combCond->currentIndex(), 0);
    EXPECT_EQ(record.MovieTarget, 0);
    EXPECT_EQ(record.MovieCond, 0);
    EXPECT_FALSE(movies.chkMedia->isChecked());
    EXPECT_EQ(record.MediaInDeck, 0);
    movies.chkMedia->setChecked(true);
    EXPECT_EQ(record.MediaInDeck, 1);
    EXPECT_EQ(movies.windowTitle(), QStringLiteral("詳細設定"));
}

TEST_F(WindowFixture, ObjectDialogShowsAndStoresDecisions) {
    registry->WriteText(Hive::ClassesRoot, "excel", "", "Spreadsheet Application");
    LoadWindow();
    frmObject& objects = window->ObjectDialog();
    exceptions.AddToExceptionList("newapp", "False");
    objects.Refresh();
    const int count = objects.lstException->count();
    ASSERT_EQ(count, static_cast<int>(exceptions.entries().size()));
    ASSERT_GE(count, 14);
    EXPECT_EQ(objects.lstException->item(0)->text(), QStringLiteral("excel"));
    EXPECT_EQ(objects.lblApp->text(), QString());

    // Nothing selected: a button click stores nothing.
    objects.optFormat[1]->click();
    EXPECT_EQ(exceptions.entries()[0].decision, "変換する");

    objects.lstException->setCurrentRow(0);
    EXPECT_TRUE(objects.optFormat[0]->isChecked());
    EXPECT_EQ(objects.lblApp->text(), QStringLiteral("Spreadsheet Application"));

    // A "False" entry leaves the buttons as they were.
    objects.lstException->setCurrentRow(count - 1);
    EXPECT_TRUE(objects.optFormat[0]->isChecked());
    EXPECT_FALSE(objects.optFormat[1]->isChecked());
    EXPECT_EQ(objects.lblApp->text(), QString());
    objects.optFormat[1]->click();
    EXPECT_EQ(exceptions.entries().back().decision, "変換しない");
    EXPECT_EQ(exceptions.ObjToImage("NewApp"), "変換しない");

    objects.chkTwice->setChecked(false);
    EXPECT_EQ(record.Twice, 0);
    objects.show();
    objects.close(); // hides; the list lives on
    EXPECT_FALSE(objects.isVisible());
    EXPECT_EQ(objects.lstException->count(), count);
}

TEST_F(WindowFixture, ObjectDialogResetReturnsToTheDefaults) {
    LoadWindow();
    frmObject& objects = window->ObjectDialog();
    {
        QFile file(QString::fromStdString(OleIni()));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[name]\n0=custom\n[value]\n0=PNG\n");
    }
    exceptions.AddToExceptionList("custom", "PNG");
    objects.chkTwice->setChecked(false);
    objects.Refresh();
    objects.btnReset->click();
    EXPECT_FALSE(QFile::exists(QString::fromStdString(OleIni())));
    EXPECT_TRUE(objects.chkTwice->isChecked());
    EXPECT_EQ(record.Twice, 1);
    ASSERT_EQ(objects.lstException->count(), static_cast<int>(exceptions.entries().size()));
    EXPECT_EQ(exceptions.entries().size(), 13u);
    EXPECT_EQ(objects.lstException->item(12)->text(), QStringLiteral("midfile"));
    EXPECT_EQ(exceptions.ObjToImage("custom"), "変換する"); // gone from the list
}

TEST_F(WindowFixture, MovieOptionsButtonHasRoomAroundItsCaption) {
    LoadWindow();
    frmOption& options = window->OptionDialog();
    options.chkMovie->setChecked(true);
    options.show();
    QCoreApplication::processEvents();
    const QFontMetrics metrics(options.btnMovie->font());
    const int caption = metrics.horizontalAdvance(options.btnMovie->text());
    EXPECT_GE(options.btnMovie->width() - caption, 2 * metrics.height()) << options.btnMovie->width();
    EXPECT_GE(options.btnMovie->height(), metrics.height() * 3 / 2);
    options.hide();
}

TEST_F(WindowFixture, SizeGoalIsOffByDefaultAndItsControlsFollowItsBox) {
    LoadWindow();
    frmOption& options = window->OptionDialog();
    EXPECT_EQ(options.chkTargetSize->text(), QStringLiteral("目標ｻｲｽﾞ"));
    EXPECT_EQ(options.lblTargetSize->text(), QStringLiteral("以下にする"));
    EXPECT_EQ(options.lblTargetAllow->text(), QStringLiteral("目標に届かないときに使ってよい節約"));
    EXPECT_FALSE(options.chkTargetSize->isChecked());
    EXPECT_EQ(options.txtTargetSize->text(), QStringLiteral("10MB"));
    EXPECT_FALSE(options.txtTargetSize->isEnabled());
    for (QCheckBox* box : AllowedSavings(options)) {
        EXPECT_FALSE(box->isChecked()) << box->text().toStdString();
        EXPECT_FALSE(box->isEnabled()) << box->text().toStdString();
    }

    options.chkTargetSize->click();
    EXPECT_EQ(record.TargetSizeOn, 1);
    EXPECT_TRUE(options.txtTargetSize->isEnabled());
    for (QCheckBox* box : AllowedSavings(options)) {
        EXPECT_TRUE(box->isEnabled()) << box->text().toStdString();
        box->click();
    }
    EXPECT_EQ(record.TargetAllowObjects, 1);
    EXPECT_EQ(record.TargetAllowMedia, 1);
    EXPECT_EQ(record.TargetAllowFonts, 1);
    EXPECT_EQ(record.TargetAllowLayouts, 1);
    options.chkTargetAllowMedia->click();
    EXPECT_EQ(record.TargetAllowMedia, 0);

    // Turned off, the goal's controls rest with their values, ready for the next time.
    options.chkTargetSize->click();
    EXPECT_EQ(record.TargetSizeOn, 0);
    EXPECT_FALSE(options.txtTargetSize->isEnabled());
    EXPECT_FALSE(options.chkTargetAllowObjects->isEnabled());
    EXPECT_TRUE(options.chkTargetAllowObjects->isChecked());
    EXPECT_EQ(record.TargetAllowObjects, 1);
}

TEST_F(WindowFixture, ASizeGoalThatIsNotASizeIsRefused) {
    LoadWindow();
    frmOption& options = window->OptionDialog();
    options.show();
    options.chkTargetSize->click();
    QLineEdit& box = *options.txtTargetSize;
    const QColor normalText = box.palette().color(QPalette::Text);
    Type(box, QStringLiteral("9.5MB"));
    EXPECT_EQ(record.TargetSize, "9.5MB");
    PressReturn(box);
    EXPECT_EQ(box.text(), QStringLiteral("9.5MB"));

    for (const QString& bad :
         {QStringLiteral("0"), QStringLiteral("-1MB"), QStringLiteral("10XB"), QString()}) {
        Type(box, bad);
        EXPECT_EQ(box.text(), bad);
        EXPECT_EQ(record.TargetSize, "9.5MB") << bad.toStdString();
        EXPECT_NE(box.palette().color(QPalette::Text), normalText) << bad.toStdString();
        PressReturn(box);
        EXPECT_EQ(box.text(), QStringLiteral("9.5MB")) << bad.toStdString();
        EXPECT_EQ(box.palette().color(QPalette::Text), normalText);
    }
    // Half typed and the window closed (its close box or 閉じる): the box shows the goal in effect.
    Type(box, QStringLiteral("500K"));
    options.close();
    EXPECT_EQ(box.text(), QStringLiteral("9.5MB"));
    options.show();
    Type(box, QStringLiteral("500kb"));
    EXPECT_EQ(record.TargetSize, "500kb");
    Type(box, QStringLiteral("7M"));
    options.btnOK->click();
    EXPECT_FALSE(options.isVisible());
    EXPECT_EQ(box.text(), QStringLiteral("500kb"));
    EXPECT_EQ(record.TargetSize, "500kb");
}

TEST_F(WindowFixture, ResetClearsTheSizeGoal) {
    LoadWindow();
    frmOption& options = window->OptionDialog();
    options.chkTargetSize->setChecked(true);
    options.txtTargetSize->setText(QStringLiteral("2MB"));
    for (QCheckBox* box : AllowedSavings(options)) {
        box->setChecked(true);
    }
    EXPECT_EQ(record.TargetSize, "2MB");
    options.btnReset->click();
    EXPECT_FALSE(options.chkTargetSize->isChecked());
    EXPECT_EQ(options.txtTargetSize->text(), QStringLiteral("10MB"));
    EXPECT_FALSE(options.txtTargetSize->isEnabled());
    for (QCheckBox* box : AllowedSavings(options)) {
        EXPECT_FALSE(box->isChecked()) << box->text().toStdString();
        EXPECT_FALSE(box->isEnabled());
    }
    const settings::Settings defaults;
    EXPECT_EQ(record.TargetSizeOn, defaults.TargetSizeOn);
    EXPECT_EQ(record.TargetSize, defaults.TargetSize);
    EXPECT_EQ(record.TargetAllowObjects, 0);
    EXPECT_EQ(record.TargetAllowMedia, 0);
    EXPECT_EQ(record.TargetAllowFonts, 0);
    EXPECT_EQ(record.TargetAllowLayouts, 0);
}

TEST_F(WindowFixture, SizeGoalIsShownFromTheStoreAndSavedAtClose) {
    for (const auto& [name, text] : {std::pair<const char*, const char*>{"TargetSizeOn", "1"},
                                     {"TargetSize", "750KB"},
                                     {"TargetAllowMedia", "1"},
                                     {"TargetAllowLayouts", "1"}}) {
        registry->WriteText(Hive::LocalMachine, settings::kSettingsKey, name, text);
    }
    LoadWindow();
    frmOption& options = window->OptionDialog();
    EXPECT_TRUE(options.chkTargetSize->isChecked());
    EXPECT_TRUE(options.txtTargetSize->isEnabled());
    EXPECT_EQ(options.txtTargetSize->text(), QStringLiteral("750KB"));
    EXPECT_FALSE(options.chkTargetAllowObjects->isChecked());
    EXPECT_TRUE(options.chkTargetAllowMedia->isChecked());
    EXPECT_FALSE(options.chkTargetAllowFonts->isChecked());
    EXPECT_TRUE(options.chkTargetAllowLayouts->isChecked());
    EXPECT_TRUE(options.chkTargetAllowLayouts->isEnabled());

    options.txtTargetSize->setText(QStringLiteral("3MB"));
    options.chkTargetAllowObjects->setChecked(true);
    options.chkTargetAllowMedia->setChecked(false);
    window->Form_Unload();
    settings::Settings next;
    settings::LoadSettings(next, *registry, desktop);
    EXPECT_EQ(next.TargetSizeOn, 1);
    EXPECT_EQ(next.TargetSize, "3MB");
    EXPECT_EQ(next.TargetAllowObjects, 1);
    EXPECT_EQ(next.TargetAllowMedia, 0);
    EXPECT_EQ(next.TargetAllowLayouts, 1);
}

// The goal's rows lie inside the window with every caption whole, and the folder groups stay below.
TEST_F(WindowFixture, SizeGoalRowsFitTheOptionsWindow) {
    LoadWindow();
    frmOption& options = window->OptionDialog();
    options.chkTargetSize->setChecked(true);
    options.show();
    QCoreApplication::processEvents();
    std::vector<QWidget*> controls{options.chkTargetSize, options.txtTargetSize, options.lblTargetSize,
                                   options.lblTargetAllow};
    for (QCheckBox* box : AllowedSavings(options)) {
        controls.push_back(box);
    }
    for (QWidget* control : controls) {
        const QRect place(control->mapTo(&options, QPoint(0, 0)), control->size());
        EXPECT_TRUE(options.rect().contains(place)) << control->objectName().toStdString();
        if (control != options.txtTargetSize) { // a line edit's hint is a generic width; see below
            EXPECT_GE(control->width(), control->sizeHint().width()) << control->metaObject()->className();
        }
        EXPECT_GE(control->height(), control->sizeHint().height());
        EXPECT_LT(place.bottom(), options.Frame1->mapTo(&options, QPoint(0, 0)).y());
    }
    // The size, its label and the check box share one row.
    const int row = options.chkTargetSize->geometry().center().y();
    EXPECT_NEAR(options.txtTargetSize->geometry().center().y(), row, 2);
    EXPECT_NEAR(options.lblTargetSize->geometry().center().y(), row, 2);
    EXPECT_LT(options.chkTargetSize->geometry().right(), options.txtTargetSize->geometry().left());
    EXPECT_LT(options.txtTargetSize->geometry().right(), options.lblTargetSize->geometry().left());
    // The box holds a long goal whole.
    const QFontMetrics metrics(options.txtTargetSize->font());
    EXPECT_GT(options.txtTargetSize->width(), metrics.horizontalAdvance(QStringLiteral("1023.5MB")));
    // The savings line up with the goal's caption, not with its check mark.
    EXPECT_GT(options.chkTargetAllowObjects->geometry().left(), options.chkTargetSize->geometry().left());
    EXPECT_GT(options.chkTargetAllowMedia->geometry().left(),
              options.chkTargetAllowObjects->geometry().right());
    options.hide();
}
