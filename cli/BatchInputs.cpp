#include "cli/BatchInputs.h"

#include "batch/InputList.h"
#include "batch/OutputNames.h"
#include "cli/InputFiles.h"
#include "cli/Shard.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"

#include <filesystem>
#include <fstream>
#include <set>

namespace cli {
namespace {

std::string Absolute(const std::string& path) {
    std::error_code ec;
    const auto absolute = std::filesystem::absolute(platform::PathFromUtf8(path), ec);
    return ec ? path : platform::PathToUtf8(absolute.lexically_normal());
}

double SizeOf(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(platform::PathFromUtf8(path), ec);
    return ec ? 0.0 : static_cast<double>(size);
}

} // namespace

std::string ExpectedOutputPath(const settings::Settings& config, const std::string& input) {
    const std::string base =
        batch::MakePresentationOutputBase(config, platform::gFSO.GetParentFolderName(input),
                                          platform::gFSO.GetBaseName(input), SizeOf(input), "KB");
    // A binary deck is written in its package form, so its output is looked for under that name.
    return base + "." + batch::WrittenExtensionFor(batch::LowerExtension(input));
}

BatchInputs CollectInputs(const CliOptions& options, const settings::Settings& config, std::istream& in) {
    BatchInputs result;
    std::vector<std::string> listed;
    std::vector<bool> walked;
    for (const auto& file : options.files) {
        const std::string path = Absolute(file);
        if (options.recursive && std::filesystem::is_directory(platform::PathFromUtf8(path))) {
            for (const auto& found : FindPresentations(path)) {
                listed.push_back(found);
                walked.push_back(true);
            }
        } else {
            listed.push_back(path);
            walked.push_back(false);
        }
    }
    if (options.filesFrom) {
        std::ifstream file;
        std::istream* source = &in;
        if (*options.filesFrom != "-") {
            file.open(platform::PathFromUtf8(*options.filesFrom), std::ios::binary);
            if (!file) {
                result.problem =
                    "ファイル一覧を読めません / cannot read the file list: " + *options.filesFrom;
                return result;
            }
            source = &file;
        }
        for (const auto& path : ReadFileList(*source, options.nulSeparated)) {
            listed.push_back(Absolute(path));
            walked.push_back(false);
        }
    }
    // The batch takes its entries as lines of text, so a name with a line break would be torn apart.
    for (const auto& path : listed) {
        if (path.find_first_of("\r\n") != std::string::npos) {
            result.problem = "改行を含むファイル名は扱えません / a file name with a line break: " + path;
            return result;
        }
    }
    // A folder walked a second time holds the outputs of the first run; they are not inputs.
    std::set<std::string> outputs;
    for (const auto& path : listed) {
        outputs.insert(ExpectedOutputPath(config, path));
    }
    std::vector<std::string> entries;
    for (std::size_t k = 0; k < listed.size(); ++k) {
        if (!walked[k] || outputs.count(listed[k]) == 0) {
            entries.push_back(listed[k]);
        }
    }
    if (options.shard) {
        entries = ShardPaths(entries, options.shard->first, options.shard->second);
        result.narrowed = true;
    }
    for (const auto& entry : entries) {
        if (options.skipExisting && platform::gFSO.FileExists(ExpectedOutputPath(config, entry))) {
            result.existing.push_back(entry);
            result.narrowed = true;
        } else {
            result.entries.push_back(entry);
        }
    }
    return result;
}

} // namespace cli
