#include "app/RunReport.h"

#include "platform/PathText.h"
#include "platform/StagingFiles.h"
#include "report/HtmlReport.h"

#include <QString>
#include <QUrl>
#include <filesystem>

namespace app {

namespace {
constexpr const char* kFolderPrefix = "quarnel-report-";
}

RunReport::~RunReport() {
    RemoveShown();
}

void RunReport::RemoveShown() {
    if (shownFolder_.empty())
        return;
    std::error_code ec;
    std::filesystem::remove_all(platform::PathFromUtf8(shownFolder_), ec);
    shownFolder_.clear();
}

std::optional<std::string> RunReport::Write() {
    // A window that was killed left its last page; its folder carries its pid.
    platform::RemoveStaleWorkFolders(platform::PathFromUtf8(tempFolder_), kFolderPrefix);
    // The folder is readable by this user alone: the report names the user's files.
    const std::filesystem::path folder =
        platform::CreateWorkFolder(platform::PathFromUtf8(tempFolder_), kFolderPrefix);
    if (folder.empty())
        return std::nullopt;
    const std::string file = platform::PathToUtf8(folder / "report.html");
    if (!report::WriteHtmlReport(file, entries_)) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        return std::nullopt;
    }
    // The page shown before is no longer needed once the new one exists; the latest stays for the
    // browser, which may read it after this returns.
    RemoveShown();
    shownFolder_ = platform::PathToUtf8(folder);
    return file;
}

bool RunReport::Show(const UrlOpener& opener, engine::Host& host) {
    const auto file = Write();
    if (!file || !opener || !opener(QUrl::fromLocalFile(QString::fromStdString(*file)))) {
        host.MessageBox(kMsgCannotShowReport, engine::MessageIcon::Exclamation, engine::MessageButtons::Ok);
        return false;
    }
    host.DoEvents();
    return true;
}

} // namespace app
