#include "engine/FailureText.h"

#include "automation/AutomationError.h"

#include <gtest/gtest.h>
#include <stdexcept>

// The texts the package layer and the backend really produce, as the log shows them.
TEST(FailureText, KnownCausesGetAJapaneseReasonWithTheEnglishDetailAfterIt) {
    EXPECT_EQ(engine::FailureDetail("Presentations.Open: the file is empty"),
              "ファイルが空です。(Presentations.Open: the file is empty)");
    EXPECT_EQ(
        engine::FailureDetail("Presentations.Open: damaged or truncated ZIP archive (Not a zip archive)"),
        "ファイルが壊れているか、途中で切れています。"
        "(Presentations.Open: damaged or truncated ZIP archive (Not a zip archive))");
    EXPECT_EQ(engine::JapaneseReason("SaveAs: the folder does not exist: /home/u/out"),
              "保存先のフォルダがありません");
    EXPECT_EQ(engine::JapaneseReason("SaveAs: cannot create a temporary file in /ro: Permission denied"),
              "書き込みの権限がありません");
    EXPECT_EQ(engine::JapaneseReason("SaveAs: cannot write /o.pptx: No space left on device"),
              "ディスクの空き容量が足りません");
    EXPECT_EQ(
        engine::JapaneseReason("Presentations.Open: the presentation is encrypted (password protected); "
                               "encrypted files are not supported"),
        "パスワードで保護されたファイルには対応していません");
    EXPECT_EQ(engine::FailureDetail(std::runtime_error("Open: not a presentation package")),
              "パワーポイントファイルではありません。(Open: not a presentation package)");
}

TEST(FailureText, PathsInTheTextDoNotDecideTheReason) {
    // A file called "damaged" that is simply missing; a folder called "encrypted" without write access.
    EXPECT_EQ(engine::JapaneseReason("Presentations.Open: file not found: /home/u/damaged deck.pptx"),
              "ファイルが見つかりません");
    EXPECT_EQ(
        engine::JapaneseReason("SaveAs: cannot create a temporary file in /encrypted/x: Permission denied"),
        "書き込みの権限がありません");
    EXPECT_EQ(engine::JapaneseReason("Open: damaged part '/ppt/password.xml': bad"),
              "ファイルが壊れているか、途中で切れています");
    EXPECT_EQ(
        engine::JapaneseReason("Presentation.SaveAs: the file changed while it was open: /u/damaged.pptx"),
        "処理中にファイルが書き換えられました");
}

TEST(FailureText, AnUnknownCauseKeepsOnlyItsDetail) {
    EXPECT_EQ(engine::JapaneseReason("Shape.Copy: something new"), "");
    EXPECT_EQ(engine::FailureDetail("Shape.Copy: something new"), "(Shape.Copy: something new)");
    EXPECT_EQ(engine::FailureDetail(""), "");
}

TEST(FailureText, ABackendsOwnExplanationComesBeforeTheTable) {
    // The converter says why itself; the table's reading of "password" would be a second guess.
    const automation::AutomationError locked("Presentations.Open",
                                             "password-protected (encrypted compound file)",
                                             "パスワードで保護されたファイルは開けません。");
    EXPECT_EQ(engine::FailureDetail(locked),
              "パスワードで保護されたファイルは開けません。"
              "(Presentations.Open: password-protected (encrypted compound file))");
    // Without one, the same error type goes through the table.
    const automation::AutomationError empty("Presentations.Open", "the file is empty");
    EXPECT_EQ(engine::FailureDetail(empty), "ファイルが空です。(Presentations.Open: the file is empty)");
}
