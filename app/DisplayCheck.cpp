#include "app/DisplayCheck.h"

#include <QString>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace app {
namespace {

QtMessageHandler gPrevious = nullptr;
std::vector<QString> gHeldBack;

void DuringStart(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", kNoDisplayMessage);
        std::fflush(stderr);
        std::_Exit(kNoDisplayExitCode);
    }
    if (context.category != nullptr && std::strncmp(context.category, "qt.qpa", 6) == 0) {
        gHeldBack.push_back(message);
        return;
    }
    if (gPrevious != nullptr) {
        gPrevious(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
}

} // namespace

bool DisplayNamed(const std::function<std::string(const char*)>& getenv, int argc, char** argv,
                  bool systemDisplay) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-platform") == 0 || std::strncmp(argv[i], "-platform=", 10) == 0) {
            return true;
        }
    }
    return systemDisplay || !getenv("QT_QPA_PLATFORM").empty();
}

void StartWindowSystem(const std::function<void()>& start) {
    gHeldBack.clear();
    gPrevious = qInstallMessageHandler(DuringStart);
    start();
    qInstallMessageHandler(gPrevious);
    for (const QString& message : gHeldBack) {
        std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
    }
    gHeldBack.clear();
}

} // namespace app
