// The window tests need one application object and never the person's own settings.

#include "app/Main.h"

#include <QApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QTemporaryDir store;
    qputenv("QUARNEL_REGISTRY_DIR", store.path().toUtf8());
    QApplication application(argc, argv);
    app::LoadQtTranslations(application); // as the program does: its dialogs are checked in Japanese
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
