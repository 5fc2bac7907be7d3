#include "app/InputList.h"

#include "platform/FileSystem.h"
#include "support/WorkFolders.h"

#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QUrl>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <stdexcept>

using testsupport::Native;

namespace {

void SetCaret(QPlainTextEdit& box, int position) {
    QTextCursor cursor = box.textCursor();
    cursor.setPosition(position);
    box.setTextCursor(cursor);
}

std::unique_ptr<QMimeData> FileDrop(const std::vector<std::string>& paths) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const std::string& path : paths) {
        urls << QUrl::fromLocalFile(QString::fromStdString(path));
    }
    data->setUrls(urls);
    return data;
}

// Folders described in memory: name -> its own files; everything else is a plain item.
app::FolderAccess FakeFolders(std::map<std::string, std::vector<std::string>> folders,
                              std::vector<std::string> unreadable = {}) {
    auto shared = std::make_shared<std::map<std::string, std::vector<std::string>>>(std::move(folders));
    auto bad = std::make_shared<std::vector<std::string>>(std::move(unreadable));
    return app::FolderAccess{
        [shared, bad](const std::string& path) {
            return shared->count(path) > 0 || std::count(bad->begin(), bad->end(), path) > 0;
        },
        [](const std::string& path) { return path.find("gone") == std::string::npos; },
        [shared, bad](const std::string& path) {
            if (std::count(bad->begin(), bad->end(), path) > 0) {
                throw std::runtime_error("unreadable");
            }
            return shared->at(path);
        },
    };
}

} // namespace

TEST(InputListDialog, ChosenFilesAreAppendedAtTheEndInOrder) {
    QPlainTextEdit box;
    box.setPlainText(QStringLiteral("/old/x.pptx\r\n"));
    SetCaret(box, 0); // the dialog moves the caret to the end first
    app::AddChosenFiles(box, {Native("/work/a.ppt"), Native("/work/b.pptx")});
    EXPECT_EQ(app::InputListText(box), "/old/x.pptx\r\n" + Native("/work/a.ppt\r\n/work/b.pptx\r\n"));
}

TEST(InputListDialog, FolderAndNameAreJoinedWithOneSeparator) {
    QPlainTextEdit box;
    app::AddChosenFiles(box, {Native("/a.ppt"), Native("/top/b.pptx")});
    EXPECT_EQ(app::InputListText(box), Native("/a.ppt\r\n/top/b.pptx\r\n"));
    EXPECT_EQ(app::JoinFolderAndName(Native("/"), "a.ppt"), Native("/a.ppt"));
    EXPECT_EQ(app::JoinFolderAndName(Native("/w/"), "a.ppt"), Native("/w/a.ppt"));
    EXPECT_EQ(app::JoinFolderAndName(Native("/w"), "a.ppt"), Native("/w/a.ppt"));
#ifdef _WIN32
    app::AddChosenFiles(box, {"C:\\c.ppt"});
    EXPECT_EQ(app::InputListText(box), Native("/a.ppt\r\n/top/b.pptx\r\n") + "C:\\c.ppt\r\n");
#endif
}

TEST(InputListDialog, LastLineWithoutBreakJoinsTheNextName) {
    QPlainTextEdit box;
    box.setPlainText(QStringLiteral("typed"));
    app::AddChosenFiles(box, {Native("/w/a.ppt")});
    EXPECT_EQ(app::InputListText(box), "typed" + Native("/w/a.ppt\r\n"));
}

TEST(InputListDrop, TextLandsAtTheCaretEvenMidLine) {
    QPlainTextEdit box;
    box.setPlainText(QStringLiteral("abcdef"));
    SetCaret(box, 3);
    QMimeData data;
    data.setText(QStringLiteral("/x.pptx"));
    EXPECT_TRUE(app::DropOnInputList(box, data, FakeFolders({})));
    EXPECT_EQ(app::InputListText(box), "abc/x.pptx\r\ndef");
    // The caret sits after the insertion, so a second drop follows the first.
    QMimeData second;
    second.setText(QStringLiteral("/y.pptx"));
    app::DropOnInputList(box, second, FakeFolders({}));
    EXPECT_EQ(app::InputListText(box), "abc/x.pptx\r\n/y.pptx\r\ndef");
}

TEST(InputListDrop, TextReplacesTheSelection) {
    QPlainTextEdit box;
    box.setPlainText(QStringLiteral("keep REPLACE keep"));
    QTextCursor cursor = box.textCursor();
    cursor.setPosition(5);
    cursor.setPosition(12, QTextCursor::KeepAnchor);
    box.setTextCursor(cursor);
    QMimeData data;
    data.setText(QStringLiteral("new"));
    app::DropOnInputList(box, data, FakeFolders({}));
    EXPECT_EQ(app::InputListText(box), "keep new\r\n keep");
}

TEST(InputListDrop, FileAndFolderKeepTheDropOrder) {
    QPlainTextEdit box;
    // Dropped paths are listed as the system writes them.
    const auto folders =
        FakeFolders({{Native("/d"), {Native("/d/1.pptx"), Native("/d/gone.pptx"), Native("/d/2.txt")}}});
    const auto data = FileDrop({"/f.pptx", "/d", "/g.ppt"});
    EXPECT_TRUE(app::DropOnInputList(box, *data, folders));
    // Items go in unchecked; a folder's files that no longer exist are left out.
    EXPECT_EQ(app::InputListText(box), Native("/f.pptx\r\n/d/1.pptx\r\n/d/2.txt\r\n/g.ppt\r\n"));
}

TEST(InputListDrop, UnreadableFolderEndsTheDropAndKeepsEarlierItems) {
    QPlainTextEdit box;
    const auto data = FileDrop({"/a.pptx", "/bad", "/c.pptx"});
    app::DropOnInputList(box, *data, FakeFolders({}, {Native("/bad")}));
    EXPECT_EQ(app::InputListText(box), Native("/a.pptx\r\n"));
}

TEST(InputListDrop, OnlyLocalFilesCount) {
    QPlainTextEdit box;
    QMimeData remote;
    remote.setUrls({QUrl(QStringLiteral("https://example.org/deck.pptx"))});
    EXPECT_FALSE(app::AcceptsDrop(remote));
    EXPECT_FALSE(app::DropOnInputList(box, remote, FakeFolders({})));
    EXPECT_TRUE(box.toPlainText().isEmpty());

    // A file manager's drop offers the addresses as text as well: the paths win.
    auto both = FileDrop({"/home/u/a.pptx"});
    both->setText(QStringLiteral("file:///home/u/a.pptx"));
    app::DropOnInputList(box, *both, FakeFolders({}));
    EXPECT_EQ(app::InputListText(box), Native("/home/u/a.pptx\r\n"));
}

TEST(InputListDrop, RealFolderAddsOnlyItsOwnFiles) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString root = dir.path();
    QDir(root).mkpath(QStringLiteral("deck folder/inner"));
    for (const QString& name : {QStringLiteral("deck folder/a.pptx"), QStringLiteral("deck folder/notes.txt"),
                                QStringLiteral("deck folder/inner/deep.pptx")}) {
        QFile file(root + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("x");
    }
    platform::FileSystem gFSO;
    QPlainTextEdit box;
    const std::string folder = (root + "/deck folder").toStdString();
    app::DropOnInputList(box, *FileDrop({folder}), app::FolderAccessFrom(gFSO));
    QStringList lines = box.toPlainText().split('\n', Qt::SkipEmptyParts);
    lines.sort();
    EXPECT_EQ(lines, (QStringList{QString::fromStdString(Native(folder + "/a.pptx")),
                                  QString::fromStdString(Native(folder + "/notes.txt"))}));
}
