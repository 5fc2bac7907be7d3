// Qt's own Japanese texts are found where Qt keeps them, else where the program keeps its data: the
// Windows package ships them under share/quarnel/translations.

#include "app/Main.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QTemporaryDir>
#include <QTranslator>
#include <gtest/gtest.h>

TEST(QtTranslations, QtsFolderFirstThenTheInstalledDataFolder) {
    const QLocale japanese(QLocale::Japanese, QLocale::Japan);
    QString shipped;
    for (const QString& folder :
         app::QtTranslationFolders(QCoreApplication::applicationDirPath().toStdString())) {
        if (QFile::exists(folder + QStringLiteral("/qtbase_ja.qm"))) {
            shipped = folder + QStringLiteral("/qtbase_ja.qm");
            break;
        }
    }
    ASSERT_FALSE(shipped.isEmpty()) << "no qtbase_ja.qm where the program looks";

    // An installed tree: the program in bin, the catalogue under share/quarnel.
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("bin")));
    ASSERT_TRUE(QDir(root.path()).mkpath(QStringLiteral("share/quarnel/translations")));
    ASSERT_TRUE(
        QFile::copy(shipped, root.path() + QStringLiteral("/share/quarnel/translations/qtbase_ja.qm")));
    const std::vector<QString> folders = app::QtTranslationFolders(
        QDir::toNativeSeparators(root.path() + QStringLiteral("/bin")).toStdString());
    ASSERT_GE(folders.size(), 2u);
    EXPECT_EQ(folders.front(), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    QTranslator translator;
    bool loaded = false;
    for (std::size_t i = 1; i < folders.size() && !loaded; ++i) {
        loaded = translator.load(japanese, QStringLiteral("qtbase"), QStringLiteral("_"), folders[i]);
    }
    ASSERT_TRUE(loaded);
    EXPECT_EQ(translator.translate("QFileSystemModel", "Name"), QStringLiteral("名前"));
}
