#include "engine/CompressPresentation.h"

#include "automation/Constants.h"
#include "engine/CompressMedia.h"
#include "engine/CopyForecast.h"
#include "engine/DeckPictureStep.h"
#include "engine/FailureText.h"
#include "engine/OfficeConnection.h"
#include "engine/PictureRecord.h"
#include "engine/SetSlideTab.h"
#include "engine/SizeText.h"
#include "platform/PathText.h"
#include "platform/StagingFiles.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <exception>
#include <filesystem>
#include <system_error>

namespace engine {
namespace {

constexpr const char* kCRLF = "\r\n";
constexpr const char* kOpen = "▼";
constexpr const char* kClose = "▲";
constexpr const char* kPptxNeeds2007 = "pptx形式の圧縮にはﾊﾟﾜｰﾎﾟｲﾝﾄ2007が必要です。圧縮を中止しました。";
constexpr const char* kCancelled = "圧縮を中止しました。";
constexpr const char* kNotEffective = "十分な圧縮効果が得られなかったため圧縮を中止しました。";
constexpr const char* kCompressedTo = " に圧縮しました。";
constexpr const char* kOutputFile = "   出力ﾌｧｲﾙ: ";
constexpr const char* kStopped = "停止したため保存しませんでした。";
constexpr const char* kNotSmallerOutput = "圧縮後のファイル (";
constexpr const char* kNotSmallerInput = ") が元のファイル (";
constexpr const char* kNotSmallerEnd =
    ") より小さくならないため保存しませんでした。上記の画像の置き換えは破棄しました。";
constexpr const char* kDiscardedEnd =
    ") より小さくならないため、画像の置き換えを破棄して元の内容のまま保存し直します。";
constexpr const char* kCannotOpen = "ファイルを開けませんでした。";
constexpr const char* kCannotSave = "ファイルを保存できませんでした。";
constexpr const char* kSameAsInput = "入力ファイルには上書きできません。";
constexpr const char* kSavedAsFormat = "形式で保存しました。";
constexpr const char* kPage = "   ﾍﾟｰｼﾞ ";
constexpr const char* kProcessing = "処理中";

std::string LowerTrimmedExtension(const std::string& path) {
    const std::string name = platform::PathToUtf8(platform::PathFromUtf8(path).filename());
    const auto dot = name.rfind('.');
    std::string ext = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    const auto first = ext.find_first_not_of(' ');
    const auto last = ext.find_last_not_of(' ');
    ext = first == std::string::npos ? std::string() : ext.substr(first, last - first + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return ext;
}

std::string UpperAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

double FileSizeOrZero(const std::string& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(platform::PathFromUtf8(path), ec);
    return ec ? 0.0 : static_cast<double>(size);
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(platform::PathFromUtf8(a), platform::PathFromUtf8(b), ec) && !ec;
}

// A hidden name in the output's folder that keeps the output's extension, which decides the format;
// a staging name, so that one a killed run left goes with the next batch on that folder.
std::string StagingPathFor(const std::string& outputPath) {
    static std::atomic<unsigned> saves{0};
    const std::filesystem::path out = platform::PathFromUtf8(outputPath);
    return platform::PathToUtf8(out.parent_path() / platform::PathFromUtf8(platform::MakeStagingName(
                                                        platform::kStagingSave, std::to_string(++saves),
                                                        platform::PathToUtf8(out.filename()))));
}

// " (その他の画像 N 個)" after the closing line when the deck-wide pass replaced pictures (backgrounds,
// fills, layouts, masters, notes, SVG fallbacks).
std::string DeckPictureCount(std::size_t count) {
    return count == 0 ? std::string() : " (その他の画像 " + std::to_string(count) + " 個)";
}

// Saves the deck beside the output under a hidden name and gives it the output's name only when it
// came out smaller than the input: shapes are measured one by one, so their sum can still miss (a
// picture shared with another shape stays in the deck), and a larger "compressed" file would be a
// wrong result. An existing file at outputPath survives a failed or refused save. Returns the size
// written, 0 when it was not kept; throws when the save failed (the staging file is gone then too).
double SaveWhenSmaller(automation::IPresentation& deck, const std::string& outputPath, double inputSize,
                       double& refusedSize) {
    const std::string staging = StagingPathFor(outputPath);
    try {
        deck.SaveAs(staging);
        const double size = FileSizeOrZero(staging);
        if (size >= inputSize) {
            std::filesystem::remove(platform::PathFromUtf8(staging));
            refusedSize = size;
            return 0;
        }
        std::filesystem::rename(platform::PathFromUtf8(staging), platform::PathFromUtf8(outputPath));
        return size;
    } catch (const std::exception&) {
        std::error_code ignored;
        std::filesystem::remove(platform::PathFromUtf8(staging), ignored);
        throw;
    }
}

// Runs one automation step whose failure the pass ignores.
template <typename Step> void Ignoring(Step&& step) {
    try {
        step();
    } catch (const std::exception&) {
    }
}

// Closes the walked deck and opens the input again as it was; false when it does not open (the
// pass then ends as it would have without this second chance).
bool ReopenUnchanged(EngineContext& ctx, const std::string& inputPath, PassOutcome& outcome) {
    EngineState& state = ctx.state;
    Ignoring([&] { state.SourcePresentation->SetSaved(true); });
    Ignoring([&] { state.SourcePresentation->Close(); });
    state.SourcePresentation.reset();
    try {
        state.SourcePresentation = state.appPPT->Presentations()->Open(inputPath, true);
    } catch (const std::exception&) {
        state.SourcePresentation.reset();
        return false;
    }
    outcome.deckPictures.clear();
    outcome.savings = {};
    return static_cast<bool>(state.SourcePresentation);
}

} // namespace

PassOutcome CompressPresentation(EngineContext& ctx, const std::string& inputPath,
                                 const OutputChooser& chooseOutput, std::string& outputPath,
                                 bool& continueBatch, const SlideWalker& walk) {
    EngineState& state = ctx.state;
    PassOutcome outcome;
    ctx.host.AppendLog(kOpen + inputPath);

    bool refuse = false;
    Ignoring([&] {
        refuse = LowerTrimmedExtension(inputPath) == "pptx" && VersionNumber(state.appPPT->Version()) < 12;
    });
    if (refuse) {
        ctx.host.AppendLog(std::string(kClose) + kPptxNeeds2007 + kCRLF);
        outcome.result = PassResult::Refused;
        continueBatch = !state.StopRequested;
        return outcome;
    }

    // A presentation that cannot be opened is reported as such, never as "too little effect".
    try {
        state.SourcePresentation = state.appPPT->Presentations()->Open(inputPath, true);
    } catch (const std::exception& error) {
        state.SourcePresentation.reset();
        ctx.host.AppendLog(std::string(kClose) + kCannotOpen + FailureDetail(error) + kCRLF);
        outcome.result = PassResult::OpenFailed;
        continueBatch = !state.StopRequested;
        return outcome;
    }
    auto& source = state.SourcePresentation;
    StartPictureRecord(ctx, *source);

    Ignoring([&] { source->Windows(1)->SetViewType(automation::ppViewNormal); });
    if (state.gOfficeXPMode) {
        SetSlideTab(ctx);
    }

    outcome.inputSize = FileSizeOrZero(inputPath);
    // The deck is written in the format it really is (or was converted to), whatever its name says.
    const std::string inputExtension = LowerTrimmedExtension(inputPath);
    std::string outputExtension = inputExtension;
    Ignoring([&] {
        const std::string kept = source->DefaultSaveExtension();
        if (!kept.empty())
            outputExtension = kept;
    });
    std::string chosen;
    Ignoring([&] { chosen = chooseOutput(inputPath, outcome.inputSize, outputExtension); });
    // Writing over the input itself (a new name typed at the same-name question) is refused.
    if (!chosen.empty() && SameFile(chosen, inputPath)) {
        ctx.host.AppendLog(std::string(kClose) + kSameAsInput + kCancelled + kCRLF);
        chosen.clear();
        outputPath = chosen;
        outcome.result = PassResult::Cancelled;
        continueBatch = !state.StopRequested;
        return outcome;
    }
    outputPath = chosen;
    if (outputPath.empty()) {
        ctx.host.AppendLog(std::string(kClose) + kCancelled + kCRLF);
        outcome.result = PassResult::Cancelled;
        continueBatch = !state.StopRequested;
        return outcome;
    }

    state.PresentationChanged = false;
    bool stopped = false;
    int slideCount = 0;
    Ignoring([&] { slideCount = source->Slides()->Count(); });
    ForecastPictureCopies(ctx, *source);
    for (int i = 1; i <= slideCount; ++i) {
        ctx.host.SetStatus(kProcessing);
        Ignoring([&] {
            const int current = source->Slides()->Count();
            ctx.host.AppendLog(kPage + std::to_string(i) + "/" + std::to_string(current));
        });
        Ignoring([&] { (void)walk(ctx, source->Slides()->Item(i), nullptr, true); });
        Ignoring([&] { source->SetSaved(true); });
        if (state.StopRequested) {
            state.PresentationChanged = false;
            stopped = true;
            break;
        }
    }

    EndPictureForecast(*source);

    if (state.Media && !state.StopRequested) {
        CompressEmbeddedMedia(ctx, *state.Media);
        if (state.StopRequested) {
            state.PresentationChanged = false;
        }
    }
    if (!state.StopRequested) {
        outcome.deckPictures = CompressDeckPictures(ctx);
    }

    if (!stopped && ApplyDeckSavings(ctx, *source, outcome.savings)) {
        state.PresentationChanged = true;
    }
    Ignoring([&] { ctx.office.Clipboard().Clear(); });

    // A deck read from another format is worth writing in its new one even when no picture changed:
    // the conversion alone often makes it much smaller. The size check below still decides.
    const bool formatChanged = outputExtension != inputExtension && !state.StopRequested;
    // So is a deck in which nothing was replaced: the presentation program's save alone can make it
    // smaller (ours stores every part in its smallest lossless form: JPEG codings, PNG, deflate).
    const bool saveAlone = !state.PresentationChanged && !state.StopRequested;
    double newSize = 0;
    double discardedSize = 0; // a deck with replaced pictures that came out no smaller than the input
    if (state.PresentationChanged || formatChanged || saveAlone) {
        try {
            double refusedSize = 0;
            newSize = SaveWhenSmaller(*source, outputPath, outcome.inputSize, refusedSize);
            // Only a format change that did not pay off is plain "too little effect".
            if (newSize == 0 && state.PresentationChanged)
                discardedSize = refusedSize;
            // The replacements together did not pay off, but the deck as it was, every part in its
            // smallest lossless form, may still be smaller: that result is not thrown away.
            if (discardedSize != 0 && !state.StopRequested && ReopenUnchanged(ctx, inputPath, outcome)) {
                ctx.host.AppendLog("   " + std::string(kNotSmallerOutput) + SizeTextKB(discardedSize) +
                                   kNotSmallerInput + SizeTextKB(outcome.inputSize) + kDiscardedEnd);
                outcome.changesDiscarded = true;
                if (ApplyDeckSavings(ctx, *state.SourcePresentation, outcome.savings))
                    state.PresentationChanged = true;
                newSize =
                    SaveWhenSmaller(*state.SourcePresentation, outputPath, outcome.inputSize, refusedSize);
                if (newSize != 0)
                    discardedSize = 0;
            }
        } catch (const std::exception& error) {
            if (state.SourcePresentation)
                Ignoring([&] { state.SourcePresentation->SetSaved(true); });
            ctx.host.AppendLog(std::string(kClose) + kCannotSave + FailureDetail(error) + kCRLF);
            outcome.result = PassResult::SaveFailed;
            continueBatch = !state.StopRequested;
            return outcome;
        }
    } else {
        Ignoring([&] { source->SetSaved(true); });
    }

    if (newSize != 0) {
        std::string formatNote;
        if (formatChanged)
            formatNote = UpperAscii(outputExtension) + kSavedAsFormat;
        ctx.host.AppendLog(std::string(kClose) + SizeTextKB(outcome.inputSize) + "→" + SizeTextKB(newSize) +
                           kCompressedTo + formatNote + DeckPictureCount(outcome.deckPictures.size()));
        ctx.host.AppendLog(kOutputFile + outputPath + kCRLF);
        outcome.result = PassResult::Compressed;
        outcome.outputSize = newSize;
        if (!outcome.changesDiscarded && state.SourcePresentation)
            outcome.pictures = RecordedPictures(*state.SourcePresentation);
    } else if (discardedSize != 0) {
        ctx.host.AppendLog(std::string(kClose) + kNotSmallerOutput + SizeTextKB(discardedSize) +
                           kNotSmallerInput + SizeTextKB(outcome.inputSize) + kNotSmallerEnd + kCRLF);
        outcome.result = PassResult::NotSmaller;
    } else if (stopped) {
        ctx.host.AppendLog(std::string(kClose) + kStopped + kCRLF);
        outcome.result = PassResult::NotEnoughEffect;
    } else {
        ctx.host.AppendLog(std::string(kClose) + kNotEffective + kCRLF);
        outcome.result = PassResult::NotEnoughEffect;
    }
    continueBatch = !state.StopRequested;
    return outcome;
}

} // namespace engine
