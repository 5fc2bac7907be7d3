#pragma once

// The maker's support and update pages, opened in the user's default browser.

#include "engine/Host.h"

#include <QUrl>
#include <functional>
#include <string>

namespace app {

inline constexpr const char* kSiteRoot = "https://www.vodrik.example";
inline constexpr const char* kSupportPagePath = "/service/servlet/support";
inline constexpr const char* kUpdatePagePath = "/service/servlet/update";
inline constexpr const char* kWebPageFailure =
    "アプリケーション上からVodrikサイトにアクセスできません。\r\nネットワークの状態を確認して下さい。";

// Hands an address to the browser; false when it could not be opened.
using UrlOpener = std::function<bool(const QUrl&)>;

// "?app=quarnel&ver=<major>_<minor>_<patch>&lang=japanese"
std::string VersionQuery(int major, int minor, int patch);
// The site root, the page path and the query of this program's version.
std::string WebPageAddress(const std::string& pagePath);

// The desktop's default browser (QDesktopServices).
UrlOpener DefaultUrlOpener();

// Opens the page; when the browser cannot be started, shows the two-line failure message without an
// icon. Afterwards lets pending events run once.
void OpenWebPage(const std::string& pagePath, const UrlOpener& opener, engine::Host& host);
void OpenSupportPage(const UrlOpener& opener, engine::Host& host);
void OpenUpdatePage(const UrlOpener& opener, engine::Host& host);

} // namespace app
