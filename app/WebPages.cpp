#include "app/WebPages.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#ifndef QUARNEL_VERSION_MAJOR
#error "the build passes the program's version numbers"
#endif
#ifndef QUARNEL_SITE_ROOT
#define QUARNEL_SITE_ROOT ""
#endif

namespace app {

std::string VersionQuery(int major, int minor, int patch) {
    return "?app=quarnel&ver=" + std::to_string(major) + "_" + std::to_string(minor) + "_" +
           std::to_string(patch) + "&lang=japanese";
}

std::string WebPageAddress(const std::string& siteRoot, const std::string& pagePath) {
    return siteRoot + pagePath +
           VersionQuery(QUARNEL_VERSION_MAJOR, QUARNEL_VERSION_MINOR, QUARNEL_VERSION_PATCH);
}

std::string HelpPagePath(const std::string& helpFolder, const std::string& pagePath) {
    const std::string name = pagePath.substr(pagePath.rfind('/') + 1);
    return helpFolder + "/" + name + ".html";
}

std::vector<std::string> HelpFolderCandidates(const std::string& programFolder) {
    const QDir folder(QString::fromStdString(programFolder));
    return {QDir::cleanPath(folder.filePath(QStringLiteral("help"))).toStdString(),
            QDir::cleanPath(folder.filePath(QStringLiteral("../share/quarnel/help"))).toStdString()};
}

std::string FindHelpFolder(const std::string& programFolder) {
    for (const std::string& candidate : HelpFolderCandidates(programFolder)) {
        if (QFileInfo(QString::fromStdString(HelpPagePath(candidate, kSupportPagePath))).isFile()) {
            return candidate;
        }
    }
    return {};
}

PageSource DefaultPageSource() {
    PageSource pages;
    pages.siteRoot = qEnvironmentVariableIsSet("QUARNEL_SITE_ROOT")
                         ? qEnvironmentVariable("QUARNEL_SITE_ROOT").toStdString()
                         : std::string(QUARNEL_SITE_ROOT);
    while (!pages.siteRoot.empty() && pages.siteRoot.back() == '/') {
        pages.siteRoot.pop_back();
    }
    pages.helpFolder = FindHelpFolder(QCoreApplication::applicationDirPath().toStdString());
    return pages;
}

UrlOpener DefaultUrlOpener() {
    return [](const QUrl& url) { return QDesktopServices::openUrl(url); };
}

void OpenWebPage(const std::string& pagePath, const PageSource& pages, const UrlOpener& opener,
                 engine::Host& host) {
    const bool local = pages.siteRoot.empty();
    const std::string file =
        pages.helpFolder.empty() ? std::string() : HelpPagePath(pages.helpFolder, pagePath);
    bool opened = false;
    try {
        QUrl url;
        if (!local) {
            url = QUrl(QString::fromStdString(WebPageAddress(pages.siteRoot, pagePath)), QUrl::StrictMode);
        } else if (!file.empty() && QFileInfo(QString::fromStdString(file)).isFile()) {
            url = QUrl::fromLocalFile(QString::fromStdString(file));
        }
        opened = url.isValid() && !url.isEmpty() && opener && opener(url);
    } catch (...) {
        opened = false;
    }
    if (!opened) {
        const std::string text =
            local ? kHelpPageFailure + (file.empty() ? pagePath : file) : kWebPageFailure;
        host.MessageBox(text, engine::MessageIcon::None, engine::MessageButtons::Ok);
        return;
    }
    host.DoEvents();
}

void OpenSupportPage(const PageSource& pages, const UrlOpener& opener, engine::Host& host) {
    OpenWebPage(kSupportPagePath, pages, opener, host);
}

void OpenUpdatePage(const PageSource& pages, const UrlOpener& opener, engine::Host& host) {
    OpenWebPage(kUpdatePagePath, pages, opener, host);
}

} // namespace app
