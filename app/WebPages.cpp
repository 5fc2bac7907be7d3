#include "app/WebPages.h"

#include <QDesktopServices>

#ifndef QUARNEL_VERSION_MAJOR
#error "the build passes the program's version numbers"
#endif

namespace app {

std::string VersionQuery(int major, int minor, int patch) {
    return "?app=quarnel&ver=" + std::to_string(major) + "_" + std::to_string(minor) + "_" +
           std::to_string(patch) + "&lang=japanese";
}

std::string WebPageAddress(const std::string& pagePath) {
    return std::string(kSiteRoot) + pagePath +
           VersionQuery(QUARNEL_VERSION_MAJOR, QUARNEL_VERSION_MINOR, QUARNEL_VERSION_PATCH);
}

UrlOpener DefaultUrlOpener() {
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

void OpenWebPage(const std::string& pagePath, const UrlOpener& opener, engine::Host& host) {
    bool opened = false;
    try {
        const QUrl url(QString::fromStdString(WebPageAddress(pagePath)), QUrl::StrictMode);
        opened = url.isValid() && opener && opener(url);
    } catch (...) {
        opened = false;
    }
    if (!opened) {
        host.MessageBox(kWebPageFailure, engine::MessageIcon::None, engine::MessageButtons::Ok);
        return;
    }
    host.DoEvents();
}

void OpenSupportPage(const UrlOpener& opener, engine::Host& host) {
    OpenWebPage(kSupportPagePath, opener, host);
}

void OpenUpdatePage(const UrlOpener& opener, engine::Host& host) {
    OpenWebPage(kUpdatePagePath, opener, host);
}

} // namespace app
