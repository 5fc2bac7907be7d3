#include "cli/CliOptions.h"

#include "cli/BatchScaleOptions.h"
#include "cli/SizeGoalOptions.h"
#include "settings/Settings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>

namespace cli {
namespace {

constexpr std::array<const char*, 5> kFormats{"recommended", "jpeg", "png", "gif", "metafile"};

// A whole number within [low, high], written in plain decimal digits.
std::optional<long> WholeNumber(const std::string& text, long low, long high) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (value < low || value > high) {
        return std::nullopt;
    }
    return value;
}

// Option values are taken without regard to case ("--format JPEG").
std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
    ParseResult result;
    CliOptions& o = result.options;
    bool onlyFiles = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (!onlyFiles && arg == "-h") {
            o.help = true;
            continue;
        }
        if (!onlyFiles && arg == "-0") {
            o.nulSeparated = true;
            continue;
        }
        if (onlyFiles || arg.size() < 2 || arg.compare(0, 2, "--") != 0) {
            if (arg.empty()) {
                result.error = "空のファイル名は指定できません / an empty file name was given";
                return result;
            }
            o.files.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyFiles = true;
            continue;
        }
        const std::size_t optionStart = i;
        std::optional<std::string> inlineValue;
        if (const auto eq = arg.find('='); eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) {
                return inlineValue;
            }
            if (i + 1 < args.size()) {
                return args[++i];
            }
            return std::nullopt;
        };
        auto flag = [&](std::optional<int>& field, int v) {
            if (inlineValue) {
                result.error = arg + " は値をとりません / takes no value";
                return;
            }
            field = v;
        };
        if (IsBatchScaleOption(arg)) {
            if (auto problem = ParseBatchScaleOption(arg, inlineValue, value, o)) {
                result.error = *problem;
                return result;
            }
            continue;
        }
        if (IsSizeGoalOption(arg)) {
            if (auto problem = ParseSizeGoalOption(arg, inlineValue, value, o)) {
                result.error = *problem;
                return result;
            }
        } else if (arg == "--help") {
            o.help = true;
        } else if (arg == "--version") {
            o.version = true;
        } else if (arg == "--objects") {
            flag(o.objects, 1);
        } else if (arg == "--no-objects") {
            flag(o.objects, 0);
        } else if (arg == "--twice") {
            flag(o.twice, 1);
        } else if (arg == "--no-twice") {
            flag(o.twice, 0);
        } else if (arg == "--media") {
            flag(o.media, 1);
        } else if (arg == "--no-media") {
            flag(o.media, 0);
        } else if (arg == "--slides-only") {
            flag(o.deckPictures, 0);
        } else if (arg == "--subset-fonts") {
            flag(o.subsetFonts, 1);
        } else if (arg == "--no-subset-fonts") {
            flag(o.subsetFonts, 0);
        } else if (arg == "--remove-unused-layouts") {
            flag(o.removeUnusedLayouts, 1);
        } else if (arg == "--no-remove-unused-layouts") {
            flag(o.removeUnusedLayouts, 0);
        } else if (arg == "--size-in-name") {
            flag(o.sizeInName, 1);
        } else if (arg == "--no-size-in-name") {
            flag(o.sizeInName, 0);
        } else if (arg == "--overwrite" || arg == "--keep-dates") {
            if (inlineValue) {
                result.error = arg + " は値をとりません / takes no value";
                return result;
            }
            (arg == "--overwrite" ? o.overwrite : o.keepDates) = true;
        } else if (arg == "--format" || arg == "--quality" || arg == "--file-size" ||
                   arg == "--expect-rate" || arg == "--group-size" || arg == "--output-dir" ||
                   arg == "--report" || arg == "--report-html" || arg == "--picture-records" ||
                   arg == "--movie-profile") {
            const auto v = value();
            if (!v) {
                result.error = arg + " には値が必要です / needs a value";
                return result;
            }
            bool ok = true;
            if (arg == "--format") {
                ok = false;
                for (std::size_t f = 0; f < kFormats.size(); ++f) {
                    if (Lower(*v) == kFormats[f]) {
                        o.format = static_cast<int>(f);
                        ok = true;
                    }
                }
            } else if (arg == "--quality") {
                const auto q = WholeNumber(*v, 0, 4);
                ok = q.has_value();
                o.quality = static_cast<int>(q.value_or(0));
            } else if (arg == "--file-size") {
                ok = WholeNumber(*v, 0, 999999999).has_value();
                o.fileSize = *v;
            } else if (arg == "--expect-rate") {
                ok = WholeNumber(*v, 1, 100).has_value();
                o.expectRate = *v;
            } else if (arg == "--group-size") {
                ok = WholeNumber(*v, 0, 999999999).has_value();
                o.groupSize = *v;
            } else if (arg == "--movie-profile") {
                ok = !v->empty();
                o.movieProfile = *v;
            } else if (arg == "--output-dir") {
                ok = !v->empty();
                o.outputDir = *v;
            } else if (arg == "--report-html") {
                ok = !v->empty();
                o.htmlReportPath = *v;
            } else if (arg == "--picture-records") {
                ok = !v->empty();
                o.pictureRecordsPath = *v;
            } else {
                ok = !v->empty();
                o.reportPath = *v;
            }
            if (!ok) {
                result.error = arg + " の値が正しくありません / bad value: " + *v;
                return result;
            }
        } else {
            result.error = "不明なオプションです / unknown option: " + args[i];
            return result;
        }
        if (!result.error.empty()) {
            return result;
        }
        if (arg != "--help" && arg != "--version" && arg != "--report" && arg != "--report-html" &&
            arg != "--picture-records") {
            o.forwarded.insert(o.forwarded.end(), args.begin() + static_cast<std::ptrdiff_t>(optionStart),
                               args.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        }
    }
    if (!o.help && !o.version && o.files.empty() && !o.filesFrom) {
        result.error = "ファイルを指定してください / no file given";
    }
    return result;
}

void ApplyOptions(const CliOptions& o, settings::Settings& s) {
    if (o.format) {
        s.Format = *o.format;
    }
    if (o.quality) {
        s.Ratio = *o.quality;
    }
    if (o.fileSize) {
        s.FileSize = *o.fileSize;
    }
    if (o.expectRate) {
        s.ExpectRate = *o.expectRate;
    }
    if (o.groupSize) {
        s.PixelSize = *o.groupSize;
    }
    if (o.objects) {
        s.OLE = *o.objects;
    }
    if (o.twice) {
        s.Twice = *o.twice;
    }
    if (o.deckPictures) {
        s.DeckPictures = *o.deckPictures;
    }
    if (o.outputDir) {
        s.optPPTFolder = 1;
        s.PPTFolder = *o.outputDir;
        s.optMovieFolder = 1; // movie and sound outputs go there too
        s.MovieFolder = *o.outputDir;
    }
    if (o.sizeInName) {
        s.ShowFileSize = *o.sizeInName;
    }
    if (o.overwrite) {
        s.SameFilename = 1;
    }
    if (o.keepDates) {
        s.KeepFileDate = 1;
    }
    if (o.media) {
        s.MediaInDeck = *o.media;
    }
    if (o.subsetFonts) {
        s.SubsetFonts = *o.subsetFonts;
    }
    if (o.removeUnusedLayouts) {
        s.RemoveUnusedLayouts = *o.removeUnusedLayouts;
    }
    if (o.targetSizeOn) {
        s.TargetSizeOn = *o.targetSizeOn;
    }
    if (o.targetSize) {
        s.TargetSize = *o.targetSize;
    }
    if (o.targetAllow) {
        s.TargetAllowObjects = o.targetAllow->objects;
        s.TargetAllowMedia = o.targetAllow->media;
        s.TargetAllowFonts = o.targetAllow->fonts;
        s.TargetAllowLayouts = o.targetAllow->layouts;
    }
}

namespace {

std::string OnOff(int value) {
    return value == 1 ? "する / on" : "しない / off";
}

std::string Quoted(const std::string& text) {
    return text.empty() ? std::string("(なし / none)") : text;
}

std::string AllowedSavings(const settings::Settings& d) {
    std::string list;
    for (const auto& [on, word] : {std::pair<int, const char*>{d.TargetAllowObjects, "objects"},
                                   {d.TargetAllowMedia, "media"},
                                   {d.TargetAllowFonts, "fonts"},
                                   {d.TargetAllowLayouts, "layouts"}}) {
        if (on == 1) {
            list += (list.empty() ? "" : ",") + std::string(word);
        }
    }
    return Quoted(list);
}

} // namespace

std::string UsageText(const settings::Settings& d) {
    const std::string format =
        d.Format >= 0 && d.Format < static_cast<int>(kFormats.size()) ? kFormats[d.Format] : kFormats[0];
    const std::string folder =
        d.optPPTFolder == 1 ? Quoted(d.PPTFolder) : std::string("入力と同じフォルダ / the input's folder");
    return "使い方 / usage: quarnel-cli [オプション / options] FILE...\n"
           "\n"
           "パワーポイントファイル (.pptx .pptm .ppsx .potx, LibreOffice経由で .ppt .pps .pot) "
           "の画像を圧縮し、"
           "別名で保存します。入力ファイルは書き換えません。\n"
           "Compresses the pictures of presentations and saves them under a new name; inputs are never "
           "written.\n"
           "動画 (mp4 mov avi wmv mkv ...) と音声 (wav mp3 m4a wma) のファイルも指定できます。\n"
           "Movie and sound files are accepted too; they are re-encoded with the movie profile.\n"
           "既定値は保存された設定です ([ ] 内)。オプションはこの実行だけに効き、保存されません。\n"
           "Defaults (in [ ]) come from the stored settings; options apply to this run only and are never "
           "saved.\n"
           "値の大文字と小文字は区別しません / option values are case-insensitive.\n"
           "\n"
           "  --format recommended|jpeg|png|gif|metafile   変換形式 / picture format [" +
           format +
           "]\n"
           "  --quality 0..4                 画質 (0 サイズ最優先 … 4 画質最優先) / quality preset [" +
           std::to_string(d.Ratio) +
           "]\n"
           "  --file-size KB                 この大きさ以上の画像だけ変換 / smallest picture to convert [" +
           Quoted(d.FileSize) +
           "]\n"
           "  --expect-rate PERCENT          この割合以下に減らせる画像だけ変換 / keep only below this share "
           "[" +
           Quoted(d.ExpectRate) +
           "]\n"
           "  --group-size PT                これより大きいグループだけ分解 / open groups larger than this "
           "[" +
           Quoted(d.PixelSize) +
           "]\n"
           "  --objects, --no-objects        ｱﾌﾟﾘｹｰｼｮﾝｵﾌﾞｼﾞｪｸﾄを画像に変換する / convert application objects "
           "[" +
           OnOff(d.OLE) +
           "]\n"
           "  --twice, --no-twice            変換したｵﾌﾞｼﾞｪｸﾄを再圧縮 / recompress converted objects [" +
           OnOff(d.Twice) +
           "]\n"
           "  --slides-only                  ｽﾗｲﾄﾞ上の画像だけ圧縮 (背景・塗りつぶし・ﾏｽﾀｰの画像はそのまま) "
           "/ "
           "leave backgrounds, fills, layouts and masters alone [" +
           std::string(d.DeckPictures == 1 ? "しない / off" : "する / on") +
           "]\n"
           "  --output-dir DIR               出力フォルダ / output folder [" +
           folder +
           "]\n"
           "  --size-in-name, --no-size-in-name  元のサイズを名前に入れる / old size in the name [" +
           OnOff(d.ShowFileSize) +
           "]\n"
           "  --overwrite                    同名ファイルを常に上書き / always overwrite an existing output "
           "[" +
           std::string(d.SameFilename == 1 ? "常に上書き / always" : "問い合わせ / ask") +
           "]\n"
           "  --keep-dates                   入力の日付を出力に付ける / give outputs the input's dates [" +
           OnOff(d.KeepFileDate) +
           "]\n"
           "  --subset-fonts, --no-subset-fonts  埋め込みﾌｫﾝﾄを使用文字だけにする / embedded fonts keep only "
           "the characters used [" +
           OnOff(d.SubsetFonts) +
           "]\n"
           "  --remove-unused-layouts, --no-remove-unused-layouts  未使用のﾚｲｱｳﾄを削除 / remove layouts no "
           "slide uses [" +
           OnOff(d.RemoveUnusedLayouts) +
           "]\n"
           "  --target-size SIZE, --no-target-size  各ファイルを SIZE 以下にする (500KB, 10MB, 9.5MB; "
           "1KB = 1024 バイト)\n"
           "                                 / make each deck no larger than SIZE [" +
           (d.TargetSizeOn == 1 ? d.TargetSize : std::string("しない / off")) +
           "]\n"
           "  --target-allow LIST            目標に届かないときに使ってよい節約 / savings the goal may add:\n"
           "                                 objects,media,fonts,layouts のうち / any of these [" +
           AllowedSavings(d) +
           "]\n"
           "  --report FILE                  入力ごとの結果を JSON で書く / write a JSON report per input "
           "[(なし / none)]\n"
           "  --report-html FILE             置き換えた画像の前後を見られる HTML の結果を書く / write a "
           "visual\n"
           "                                 report with every replaced picture before and after [(なし / "
           "none)]\n"
           "  --movie-profile NAME|INDEX     動画圧縮の設定 (cores/Transcoding.ini の名前か番号) / movie\n"
           "                                 profile by name or position (0 = first) [" +
           (d.Encode < 0 ? std::string("0") : std::to_string(d.Encode)) +
           "]\n"
           "  --media, --no-media            ﾌﾟﾚｾﾞﾝﾃｰｼｮﾝ内の動画・音声も圧縮する / re-encode the movies and\n"
           "                                 sound inside presentations with the movie profile [" +
           OnOff(d.MediaInDeck) +
           "]\n"
           "  --jobs N                       同時に圧縮するファイル数 / decks at once [コア数 / cores; "
           "端末で問い合わせのときは / 1 on a terminal with ask]\n"
           "  --threads N                    1 ファイル内で画像を並行して処理するスレッド数 / picture "
           "threads\n"
           "                                 per deck, 0 = none [コア数 / ファイル数 / cores / decks at "
           "once]\n"
           "  --recursive                    フォルダの下のファイルをすべて圧縮 / walk folders\n"
           "  --files-from LIST, -0          一覧のファイルを圧縮 (- 標準入力, -0 NUL 区切り) / read paths "
           "from LIST\n"
           "  --skip-existing                出力が既にあるファイルは圧縮しない / leave decks whose output "
           "exists\n"
           "  --shard K/N                    N 分割した一覧の K 番目だけ / only the K-th of N shards\n"
           "  -h, --help                     この説明 / this help\n"
           "  --version                      版数 / version\n"
           "  --                             以降はすべてファイル名 / only file names follow\n"
           "\n"
           "同名の出力があるとき、端末では問い合わせ、端末がなければ圧縮しません (上書きしません)。\n"
           "When an output exists: asked on a terminal; without one the file is skipped, never overwritten.\n"
           "出力が元のファイルより小さくならないときは保存しません。\n"
           "An output that would not be smaller than its input is not kept.\n"
           "Ctrl-C: 停止 / stop. 終了コード / exit status: 0 ok, 1 a file could not be opened or saved,\n"
           "2 bad usage, a refused input list, a missing output folder or an unwritable report (checked\n"
           "before the first file), 130 stopped.\n";
}

} // namespace cli
