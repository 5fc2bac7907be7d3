#include "cli/JobRunner.h"

#include "cli/CliHost.h"
#include "cli/PictureRecords.h"
#include "cli/Progress.h"
#include "cli/Report.h"
#include "platform/ChildProcess.h"
#include "platform/FileDescriptors.h"
#include "platform/PathText.h"
#include "platform/StagingFiles.h"
#include "platform/ThisProcess.h"
#include "settings/Settings.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace cli {
namespace {

// Decks finished ahead of the next one to print are held; this many at most per worker.
constexpr std::size_t kHeldPerJob = 4;

std::string ReadWhole(const std::string& path) {
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

constexpr const char* kJobsFolderPrefix = "quarnel-jobs-";

// The workers' logs and reports; one a killed batch left goes with the next batch's.
std::string TempFolder() {
    const std::filesystem::path root = platform::WorkFolderRoot();
    platform::RemoveStaleWorkFolders(root, kJobsFolderPrefix);
    return platform::PathToUtf8(platform::CreateWorkFolder(root, kJobsFolderPrefix));
}

struct Worker {
    std::unique_ptr<platform::RunningChild> process;
    std::string out;
    std::string err;
    std::string report;
    std::string pictures;
};

// The worker runs in its own process group, so that a Ctrl-C on the terminal reaches this process
// alone and is handed on once: a second SIGINT would end a worker in the middle of its save. Should
// the batch itself end, its workers stop as after Ctrl-C rather than run on unseen (on Windows they
// end with it). Nothing when it could not be started.
std::unique_ptr<platform::RunningChild> Launch(const std::string& program,
                                               const std::vector<std::string>& arguments, const Worker& w) {
    platform::ChildCommand command;
    command.arguments.push_back(program);
    command.arguments.insert(command.arguments.end(), arguments.begin(), arguments.end());
    command.outputFile = w.out;
    command.errorFile = w.err;
    command.interruptible = true;
    auto child = std::make_unique<platform::RunningChild>(command);
    if (!child->Started())
        return nullptr;
    return child;
}

bool Failed(const std::string& result) {
    return result == "open-failed" || result == "save-failed" || result == "failed";
}

// The worker's own report; a worker that ended without one failed as a whole.
batch::EntryReport ReadWorkerReport(const std::string& path, const std::string& input) {
    batch::EntryReport report;
    report.input = input;
    report.result = "failed";
    report.failed = true;
    const QJsonArray array = QJsonDocument::fromJson(QByteArray::fromStdString(ReadWhole(path))).array();
    if (array.size() != 1) {
        return report;
    }
    const QJsonObject o = array.at(0).toObject();
    report.output = o.value("output").toString().toStdString();
    report.bytesBefore = o.value("bytes_before").toDouble();
    report.bytesAfter = o.value("bytes_after").toDouble();
    report.shapesReplaced = o.value("shapes_replaced").toInt();
    report.changesDiscarded = o.value("changes_discarded").toBool();
    report.seconds = o.value("seconds").toDouble();
    report.result = o.value("result").toString().toStdString();
    report.failed = Failed(report.result);
    // Everything a one-at-a-time run reports, so that a parallel batch's report says the same.
    for (const auto& value : o.value("deck_pictures").toArray()) {
        const QJsonObject p = value.toObject();
        automation::DeckPictureResult picture;
        picture.part = p.value("part").toString().toStdString();
        picture.place = PlaceFromText(p.value("place").toString().toStdString());
        picture.width = p.value("width").toInt();
        picture.height = p.value("height").toInt();
        picture.format = p.value("format").toString().toStdString();
        picture.bytesBefore = p.value("bytes_before").toDouble();
        picture.bytesAfter = p.value("bytes_after").toDouble();
        report.deckPictures.push_back(picture);
    }
    for (const auto& value : o.value("media").toArray()) {
        const QJsonObject m = value.toObject();
        report.media.push_back({m.value("part").toString().toStdString(),
                                m.value("new_part").toString().toStdString(),
                                m.value("bytes_before").toDouble(), m.value("bytes_after").toDouble(),
                                m.value("result").toString().toStdString()});
    }
    for (const auto& value : o.value("embedded_fonts").toArray()) {
        const QJsonObject f = value.toObject();
        report.savings.fonts.push_back({f.value("typeface").toString().toStdString(),
                                        f.value("style").toString().toStdString(),
                                        f.value("bytes_before").toDouble(), f.value("bytes_after").toDouble(),
                                        f.value("kept").toString().toStdString()});
    }
    report.savings.layouts.layouts = o.value("layouts_removed").toInt();
    report.savings.layouts.masters = o.value("masters_removed").toInt();
    if (o.contains("target_bytes")) {
        batch::GoalOutcome goal;
        goal.targetBytes = static_cast<std::uint64_t>(o.value("target_bytes").toDouble());
        goal.reached = o.value("reached").toBool();
        goal.step = o.value("target_step").toString().toStdString();
        const QJsonObject used = o.value("target_settings").toObject();
        goal.settings.Ratio = used.value("quality").toInt();
        goal.settings.ExpectRate = used.value("expect_rate").toString().toStdString();
        goal.settings.FileSize = used.value("file_size").toString().toStdString();
        goal.settings.OLE = used.value("objects").toBool() ? 1 : 0;
        goal.settings.MediaInDeck = used.value("media").toBool() ? 1 : 0;
        goal.settings.SubsetFonts = used.value("fonts").toBool() ? 1 : 0;
        goal.settings.RemoveUnusedLayouts = used.value("layouts").toBool() ? 1 : 0;
        report.goal = goal;
    }
    return report;
}

} // namespace

int DefaultJobs(const settings::Settings& config, bool interactive) {
    if (interactive && config.SameFilename == 0) {
        return 1;
    }
    return platform::ProcessorCount();
}

int DefaultPictureThreads(int jobs) {
    const int share = platform::ProcessorCount() / std::max(1, jobs);
    return share >= 2 ? share : 0;
}

std::string SelfExecutable() {
    return platform::ProgramFile();
}

JobsOutcome RunDeckJobs(const std::string& program, const std::vector<std::string>& entries,
                        const std::vector<std::string>& forwarded, int jobs, std::ostream& out,
                        std::ostream& err, bool progress, bool pictures) {
    JobsOutcome outcome;
    const std::size_t n = entries.size();
    outcome.entries.resize(n);
    for (std::size_t k = 0; k < n; ++k) {
        outcome.entries[k].input = entries[k];
        outcome.entries[k].result = "not-started";
    }
    const std::string folder = TempFolder();
    if (folder.empty()) {
        err << "quarnel-cli: 一時フォルダを作れません / cannot create a temporary folder\n";
        for (auto& e : outcome.entries) {
            e.failed = true;
        }
        return outcome;
    }
    std::vector<Worker> workers(n);
    std::vector<bool> done(n, false);
    std::size_t launched = 0;
    std::size_t printed = 0;
    std::size_t running = 0;
    double before = 0;
    double after = 0;
    const std::size_t held = kHeldPerJob * static_cast<std::size_t>(jobs);

    auto printDeck = [&](std::size_t k) {
        Worker& w = workers[k];
        const std::string log = ReadWhole(w.out);
        const std::string messages = ReadWhole(w.err);
        if (progress) {
            err << "\r\x1b[K";
        }
        out << log;
        out.flush();
        err << messages;
        const batch::EntryReport& e = outcome.entries[k];
        before += e.bytesBefore;
        after += e.output.empty() ? e.bytesBefore : e.bytesAfter;
        if (progress) {
            err << ProgressLine(k + 1, n, before, after, e.input);
        }
        err.flush();
        for (const auto* path : {&w.out, &w.err, &w.report, &w.pictures}) {
            platform::RemoveFile(*path);
        }
    };

    while (printed < n) {
        if (!outcome.stopped && InterruptRequested()) {
            outcome.stopped = true;
            for (std::size_t k = printed; k < launched; ++k) {
                if (!done[k]) {
                    workers[k].process->Interrupt();
                }
            }
        }
        while (!outcome.stopped && running < static_cast<std::size_t>(jobs) && launched < n &&
               launched < printed + held) {
            Worker& w = workers[launched];
            const std::string stem = folder + "/" + std::to_string(launched);
            w.out = stem + ".out";
            w.err = stem + ".err";
            w.report = stem + ".json";
            w.pictures = stem + ".pictures";
            std::vector<std::string> arguments = forwarded;
            if (pictures)
                arguments.push_back("--picture-records=" + w.pictures);
            arguments.insert(arguments.end(),
                             {"--jobs=1", "--deck-child", "--report=" + w.report, "--", entries[launched]});
            w.process = Launch(program, arguments, w);
            if (!w.process) {
                err << "quarnel-cli: 処理を始められません / cannot start a worker\n";
                outcome.entries[launched].result = "failed";
                outcome.entries[launched].failed = true;
                done[launched] = true;
            } else {
                ++running;
            }
            ++launched;
        }
        bool reaped = false;
        for (std::size_t k = printed; k < launched; ++k) {
            if (done[k]) {
                continue;
            }
            if (!workers[k].process->WaitFor(std::chrono::milliseconds(0))) {
                continue;
            }
            reaped = true;
            done[k] = true;
            --running;
            outcome.entries[k] = ReadWorkerReport(workers[k].report, entries[k]);
            if (pictures && !outcome.entries[k].output.empty())
                outcome.entries[k].pictures = ReadPictureRecords(workers[k].pictures);
            const platform::ChildResult ended = workers[k].process->Result();
            if (ended.end == platform::ChildEnd::Exited && ended.exitCode == 130) {
                outcome.stopped = true;
            }
        }
        while (printed < launched && done[printed]) {
            printDeck(printed++);
        }
        if (outcome.stopped && running == 0 && printed == launched) {
            break;
        }
        if (!reaped) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    if (progress) {
        err << "\r\x1b[K";
        err.flush();
    }
    std::error_code ec;
    std::filesystem::remove_all(platform::PathFromUtf8(folder), ec);
    return outcome;
}

} // namespace cli
