#pragma once

// The help menu's support and update pages. They ship with the program as local HTML files and open
// in the user's default browser; a site root, when one is configured, sends them to a web site instead.

#include "engine/Host.h"

#include <QUrl>
#include <functional>
#include <string>
#include <vector>

namespace app {

inline constexpr const char* kSupportPagePath = "/service/servlet/support";
inline constexpr const char* kUpdatePagePath = "/service/servlet/update";
inline constexpr const char* kWebPageFailure =
    "アプリケーション上からVodrikサイトにアクセスできません。\r\nネットワークの状態を確認して下さい。";
inline constexpr const char* kHelpPageFailure =
    "ヘルプページを開けません。\r\nインストールを確認して下さい。\r\n";

// Where the pages come from: a site root ("https://host", no trailing slash) or, when it is empty,
// the folder of the local pages ("" when none was found).
struct PageSource {
    std::string siteRoot;
    std::string helpFolder;
};

// Hands an address to the browser; false when it could not be opened.
using UrlOpener = std::function<bool(const QUrl&)>;

// "?app=quarnel&ver=<major>_<minor>_<patch>&lang=japanese"
std::string VersionQuery(int major, int minor, int patch);
// The site root, the page path and the query of this program's version.
std::string WebPageAddress(const std::string& siteRoot, const std::string& pagePath);
// The local page for a page path: "<helpFolder>/<last part of the path>.html".
std::string HelpPagePath(const std::string& helpFolder, const std::string& pagePath);

// The folders searched for the local pages, beside the program first, then the installed share folder.
std::vector<std::string> HelpFolderCandidates(const std::string& programFolder);
// The first candidate that holds the support page; "" when none does.
std::string FindHelpFolder(const std::string& programFolder);
// The site root of the environment variable QUARNEL_SITE_ROOT, else the one the build was configured
// with (empty by default), and the local pages beside the running program.
PageSource DefaultPageSource();

// The desktop's default browser (QDesktopServices).
UrlOpener DefaultUrlOpener();

// Opens the page. When the browser cannot be started, shows the two-line failure message without an
// icon (for a local page, the help failure message and its path). Afterwards lets pending events run
// once.
void OpenWebPage(const std::string& pagePath, const PageSource& pages, const UrlOpener& opener,
                 engine::Host& host);
void OpenSupportPage(const PageSource& pages, const UrlOpener& opener, engine::Host& host);
void OpenUpdatePage(const PageSource& pages, const UrlOpener& opener, engine::Host& host);

} // namespace app
