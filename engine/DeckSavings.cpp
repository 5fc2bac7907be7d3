#include "engine/DeckSavings.h"

#include "engine/FailureText.h"
#include "engine/SizeText.h"
#include "settings/Settings.h"

#include <exception>

namespace engine {
namespace {

std::string StyleText(const std::string& style) {
    if (style == "bold")
        return "太字";
    if (style == "italic")
        return "斜体";
    if (style == "boldItalic")
        return "太字斜体";
    return "標準";
}

std::string KeptText(const std::string& reason) {
    if (reason == "not-smaller")
        return "小さくならないため元のまま";
    if (reason == "no-subsetting-allowed")
        return "ﾌｫﾝﾄの使用許諾で部分埋め込みが禁止されているため元のまま";
    return "読み取れないため元のまま";
}

} // namespace

bool ApplyDeckSavings(EngineContext& ctx, automation::IPresentation& deck, DeckSavings& savings) {
    bool changed = false;
    if (ctx.settings.SubsetFonts == 1) {
        try {
            savings.fonts = deck.SubsetEmbeddedFonts();
        } catch (const std::exception& error) {
            ctx.host.AppendLog("   埋め込みﾌｫﾝﾄを処理できませんでした。" + FailureDetail(error));
        }
        for (const auto& font : savings.fonts) {
            std::string line = "   埋め込みﾌｫﾝﾄ " + font.typeface + " (" + StyleText(font.style) + "): ";
            if (font.kept.empty()) {
                line += SizeTextKB(font.bytesBefore) + "→" + SizeTextKB(font.bytesAfter) + " (使用文字のみ)";
                changed = true;
            } else {
                line += SizeTextKB(font.bytesBefore) + " " + KeptText(font.kept);
            }
            ctx.host.AppendLog(line);
        }
    }
    if (ctx.settings.RemoveUnusedLayouts == 1) {
        try {
            savings.layouts = deck.RemoveUnusedLayouts();
            ctx.host.AppendLog("   未使用のﾚｲｱｳﾄ " + std::to_string(savings.layouts.layouts) +
                               " 個、ｽﾗｲﾄﾞﾏｽﾀｰ " + std::to_string(savings.layouts.masters) +
                               " 個を削除しました。");
            changed = changed || savings.layouts.layouts + savings.layouts.masters > 0;
        } catch (const std::exception& error) {
            ctx.host.AppendLog("   未使用のﾚｲｱｳﾄを削除できませんでした。" + FailureDetail(error));
        }
    }
    return changed;
}

} // namespace engine
