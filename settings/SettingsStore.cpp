#include "settings/SettingsStore.h"

#include "settings/Settings.h"
#include "settings/TargetSize.h"
#include "settings/TextUtil.h"
#include "settings/modRegAccess.h"

#include <optional>

namespace settings {

namespace {

constexpr int kFormatCount = 5;
constexpr int kRatioCount = 5;
constexpr int kSameFilenameCount = 2;
constexpr int kMovieTargetCount = 3;
constexpr int kMovieCondCount = 3;
constexpr int kEncodeLimit = 100;

class SettingReader {
public:
    explicit SettingReader(RegistryStore& registry) : registry_(registry) {}

    // The text as stored, or nullopt when missing or only blanks, CR, LF and NUL.
    std::optional<std::string> Text(const char* name) {
        std::string text;
        registry_.ReadValue(Hive::LocalMachine, kSettingsKey, name, text);
        if (StripBlanks(text).empty()) {
            return std::nullopt;
        }
        return text;
    }

    // A check state (0 or 1) or a list index below count.
    void Index(const char* name, int& field, int count, int defaultValue) {
        field = defaultValue;
        if (const auto text = Text(name)) {
            const auto value = ParseInt16(*text);
            if (value && *value >= 0 && *value < count) {
                field = *value;
            }
        }
    }

    void Check(const char* name, int& field, int defaultValue) { Index(name, field, 2, defaultValue); }

    void OptionPair(const char* name, int& field) {
        const auto text = Text(name);
        field = !text || *text == "0" ? 0 : 1;
    }

    void String(const char* name, std::string& field, const std::string& defaultValue) {
        const auto text = Text(name);
        field = text ? *text : defaultValue;
    }

    // A size goal as ParseTargetSize reads it; any other text gives the default.
    void TargetSizeText(const char* name, std::string& field, const std::string& defaultValue) {
        const auto text = Text(name);
        field = text && ParseTargetSize(*text) ? *text : defaultValue;
    }

    void Height(const char* name, int& field, int defaultValue) {
        field = defaultValue;
        if (const auto text = Text(name)) {
            const auto value = ParseInt32(*text);
            if (value && *value > 0) {
                field = *value;
            }
        }
    }

private:
    RegistryStore& registry_;
};

} // namespace

void LoadSettings(Settings& s, RegistryStore& registry, const std::string& desktopFolder) {
    const Settings defaults;
    SettingReader r(registry);
    r.Check("OLE", s.OLE, defaults.OLE);
    r.Check("Movie", s.Movie, defaults.Movie);
    r.Index("SameFilename", s.SameFilename, kSameFilenameCount, defaults.SameFilename);
    r.Check("KeepFileDate", s.KeepFileDate, defaults.KeepFileDate);
    r.Check("ShowFileSize", s.ShowFileSize, defaults.ShowFileSize);
    r.OptionPair("optPPTFolder", s.optPPTFolder);
    r.OptionPair("optMovieFolder", s.optMovieFolder);
    r.String("PPTFolder", s.PPTFolder, desktopFolder);
    r.String("MovieFolder", s.MovieFolder, desktopFolder);
    r.Index("Format", s.Format, kFormatCount, defaults.Format);
    r.Index("Ratio", s.Ratio, kRatioCount, defaults.Ratio);
    r.String("FileSize", s.FileSize, defaults.FileSize);
    r.String("ExpectRate", s.ExpectRate, defaults.ExpectRate);
    r.String("PixelSize", s.PixelSize, defaults.PixelSize);
    r.Check("Twice", s.Twice, defaults.Twice);
    r.Check("DeckPictures", s.DeckPictures, defaults.DeckPictures);
    r.Height("FormHeight", s.FormHeight, defaults.FormHeight);
    r.Index("MovieTarget", s.MovieTarget, kMovieTargetCount, defaults.MovieTarget);
    r.Index("MovieCond", s.MovieCond, kMovieCondCount, defaults.MovieCond);
    // The profile list is filled from the profile file later; an index it does not have selects the first.
    r.Index("Encode", s.Encode, kEncodeLimit, defaults.Encode);
    r.Check("MediaInDeck", s.MediaInDeck, defaults.MediaInDeck);
    r.Check("SubsetFonts", s.SubsetFonts, defaults.SubsetFonts);
    r.Check("RemoveUnusedLayouts", s.RemoveUnusedLayouts, defaults.RemoveUnusedLayouts);
    r.Check("TargetSizeOn", s.TargetSizeOn, defaults.TargetSizeOn);
    r.TargetSizeText("TargetSize", s.TargetSize, defaults.TargetSize);
    r.Check("TargetAllowObjects", s.TargetAllowObjects, defaults.TargetAllowObjects);
    r.Check("TargetAllowMedia", s.TargetAllowMedia, defaults.TargetAllowMedia);
    r.Check("TargetAllowFonts", s.TargetAllowFonts, defaults.TargetAllowFonts);
    r.Check("TargetAllowLayouts", s.TargetAllowLayouts, defaults.TargetAllowLayouts);
}

void SaveSettings(const Settings& s, RegistryStore& registry) {
    const auto put = [&registry](const char* name, const std::string& text) {
        registry.WriteText(Hive::LocalMachine, kSettingsKey, name, text);
    };
    const auto putIfNotEmpty = [&put](const char* name, const std::string& text) {
        if (!text.empty()) {
            put(name, text);
        }
    };
    put("SameFilename", std::to_string(s.SameFilename));
    put("KeepFileDate", std::to_string(s.KeepFileDate));
    put("ShowFileSize", std::to_string(s.ShowFileSize));
    put("optPPTFolder", s.optPPTFolder == 0 ? "0" : "1");
    putIfNotEmpty("PPTFolder", s.PPTFolder);
    put("Format", std::to_string(s.Format));
    put("Ratio", std::to_string(s.Ratio));
    putIfNotEmpty("FileSize", s.FileSize);
    putIfNotEmpty("ExpectRate", s.ExpectRate);
    putIfNotEmpty("PixelSize", s.PixelSize);
    put("FormHeight", std::to_string(s.FormHeight));
    put("OLE", std::to_string(s.OLE));
    put("Encode", std::to_string(s.Encode));
    put("Twice", std::to_string(s.Twice));
    put("DeckPictures", std::to_string(s.DeckPictures));
    put("SubsetFonts", std::to_string(s.SubsetFonts));
    put("RemoveUnusedLayouts", std::to_string(s.RemoveUnusedLayouts));
    put("TargetSizeOn", std::to_string(s.TargetSizeOn));
    // Like the typed texts: a goal that does not read as a size never replaces the stored one.
    if (ParseTargetSize(s.TargetSize)) {
        put("TargetSize", s.TargetSize);
    }
    put("TargetAllowObjects", std::to_string(s.TargetAllowObjects));
    put("TargetAllowMedia", std::to_string(s.TargetAllowMedia));
    put("TargetAllowFonts", std::to_string(s.TargetAllowFonts));
    put("TargetAllowLayouts", std::to_string(s.TargetAllowLayouts));
    // The movie options window keeps its two lists between runs.
    put("MovieTarget", std::to_string(s.MovieTarget));
    put("MovieCond", std::to_string(s.MovieCond));
    put("MediaInDeck", std::to_string(s.MediaInDeck));
}

} // namespace settings
