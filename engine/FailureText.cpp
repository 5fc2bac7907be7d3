#include "engine/FailureText.h"

#include "automation/AutomationError.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace engine {
namespace {

struct Reason {
    const char* english; // a part of the English text, compared without regard to case
    const char* japanese;
};

// The first matching entry wins, so the more particular texts come first.
constexpr std::array kReasons{
    Reason{"the file is empty", "ファイルが空です"},
    Reason{"password", "パスワードで保護されたファイルには対応していません"},
    Reason{"encrypted", "暗号化されたファイルには対応していません"},
    Reason{".ppt binary format", "旧形式 (.ppt) のファイルには対応していません"},
    Reason{"ole compound file", "旧形式のファイルには対応していません"},
    Reason{"zip bomb", "展開後のサイズが大きすぎるため開きません"},
    Reason{"too many entries", "ファイル内の部品が多すぎるため開きません"},
    Reason{"changed while it was open", "処理中にファイルが書き換えられました"},
    Reason{"damaged", "ファイルが壊れているか、途中で切れています"},
    Reason{"truncated", "ファイルが壊れているか、途中で切れています"},
    Reason{"malformed", "ファイルが壊れています"},
    Reason{"not an ooxml", "パワーポイントファイルではありません"},
    Reason{"not a presentation", "パワーポイントファイルではありません"},
    Reason{"holds no presentation", "パワーポイントファイルではありません"},
    Reason{"file not found", "ファイルが見つかりません"},
    Reason{"is a folder, not a file", "フォルダです"},
    Reason{"the folder does not exist", "保存先のフォルダがありません"},
    Reason{"a folder has that name", "保存先に同じ名前のフォルダがあります"},
    Reason{"refusing to overwrite the opened file", "開いているファイルには上書きできません"},
    Reason{"permission denied", "書き込みの権限がありません"},
    Reason{"read-only file system", "読み取り専用の場所には書き込めません"},
    Reason{"no space left", "ディスクの空き容量が足りません"},
    Reason{"disk full", "ディスクの空き容量が足りません"},
    Reason{"disk quota", "ディスクの使用量の上限に達しています"},
    Reason{"cannot write the format", "この形式では保存できません"},
    Reason{"opened read-only", "開いているファイルには上書きできません"},
    Reason{"cannot create a temporary file", "保存先に書き込めません"},
    Reason{"cannot write", "ファイルを書き込めません"},
    Reason{"cannot finish", "ファイルを書き込めません"},
    Reason{"cannot replace", "出力ファイルを置き換えられません"},
    Reason{"cannot read", "ファイルを読み込めません"},
    Reason{"cannot open file", "ファイルを読み込めません"},
    Reason{"too large", "ファイルが大きすぎます"},
    Reason{"the application has quit", "処理中にエンジンが終了しました"},
};

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The text without the paths it names: a file called "damaged.pptx" says nothing about the cause.
// A path starts with "/" at the start, after a blank or a quote, and runs to ": ", a quote or the end.
std::string WithoutPaths(const std::string& text) {
    std::string kept;
    std::size_t i = 0;
    while (i < text.size()) {
        const bool pathStart = text[i] == '/' && (i == 0 || text[i - 1] == ' ' || text[i - 1] == '\'');
        if (!pathStart) {
            kept += text[i++];
            continue;
        }
        const std::size_t colon = text.find(": ", i);
        const std::size_t quote = text.find('\'', i);
        i = std::min({colon, quote, text.size()});
    }
    return kept;
}

} // namespace

std::string JapaneseReason(const std::string& englishDetail) {
    const std::string lower = Lower(WithoutPaths(englishDetail));
    for (const Reason& reason : kReasons) {
        if (lower.find(reason.english) != std::string::npos) {
            return reason.japanese;
        }
    }
    return {};
}

std::string FailureDetail(const std::string& englishDetail) {
    const std::string reason = JapaneseReason(englishDetail);
    const std::string detail = englishDetail.empty() ? std::string() : "(" + englishDetail + ")";
    return reason.empty() ? detail : reason + "。" + detail;
}

std::string FailureDetail(const std::exception& error) {
    const std::string english = error.what();
    if (const auto* automation = dynamic_cast<const automation::AutomationError*>(&error)) {
        if (!automation->userText().empty()) {
            return automation->userText() + (english.empty() ? std::string() : "(" + english + ")");
        }
    }
    return FailureDetail(english);
}

} // namespace engine
