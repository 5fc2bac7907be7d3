#include "WindowFixture.h"
#include "settings/dialogs/frmMovieOption.h"
#include "settings/dialogs/frmObject.h"
#include "settings/dialogs/frmOption.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>

using settings::Hive;
using settings::dialogs::frmMovieOption;
using settings::dialogs::frmObject;
using settings::dialogs::frmOption;

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

    answer = "/chosen/folder";
    options.cmdBrowseFolderPPT->click();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].first, "/start/here/");
    EXPECT_EQ(asked[0].second, "ﾀﾞｲｱﾛｸﾞを開く");
    EXPECT_EQ(options.txtPPTFolder->text(), QStringLiteral("/chosen/folder/"));
    EXPECT_EQ(record.PPTFolder, "/chosen/folder/");

    answer = ""; // cancelled
    options.cmdBrowseFolderPPT->click();
    EXPECT_EQ(options.txtPPTFolder->text(), QStringLiteral("/chosen/folder/"));

    answer = "/";
    options.cmdBrowseFolderMovie->click();
    EXPECT_EQ(options.txtMovieFolder->text(), QStringLiteral("/"));
    EXPECT_EQ(settings::dialogs::WithTrailingSeparator("/a/"), "/a/");
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
