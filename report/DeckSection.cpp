#include "report/DeckSection.h"

#include "office/package/StoredComposition.h"
#include "report/HtmlText.h"

#include <array>

namespace report {

namespace {

struct Kind {
    const char* cssClass;
    const char* label;
};

constexpr std::array<Kind, 6> kKinds{{{"k-pictures", "画像 (pictures)"},
                                      {"k-media", "動画・音声 (media)"},
                                      {"k-fonts", "フォント (fonts)"},
                                      {"k-objects", "オブジェクト (objects)"},
                                      {"k-xml", "XML"},
                                      {"k-other", "その他 (other)"}}};

std::array<double, 6> Shares(const office::package::StoredComposition& c) {
    return {double(c.pictures), double(c.media), double(c.fonts),
            double(c.objects),  double(c.xml),   double(c.other)};
}

// One bar, its length a share of the longest bar of the deck.
std::string Bar(const char* label, double total, const std::optional<office::package::StoredComposition>& c,
                double longest) {
    std::string html = "<div class=\"bar-row\"><span class=\"bar-label\">" + std::string(label) +
                       "</span><span class=\"bar\" style=\"width:" +
                       std::to_string(longest > 0 ? 100.0 * total / longest : 0) + "%\">";
    if (c && c->Total() > 0) {
        const auto shares = Shares(*c);
        for (std::size_t k = 0; k < kKinds.size(); ++k) {
            if (shares[k] <= 0)
                continue;
            html += "<span class=\"seg " + std::string(kKinds[k].cssClass) +
                    "\" style=\"width:" + std::to_string(100.0 * shares[k] / double(c->Total())) +
                    "%\" title=\"" + kKinds[k].label + ": " + BytesText(shares[k]) + "\"></span>";
        }
    } else {
        html += "<span class=\"seg k-other\" style=\"width:100%\"></span>";
    }
    html += "</span><span class=\"bar-total\">" + BytesText(total) + "</span></div>";
    return html;
}

std::string Legend(const std::optional<office::package::StoredComposition>& before,
                   const std::optional<office::package::StoredComposition>& after) {
    std::string html = "<table class=\"kinds\"><tr><th></th><th>前 (before)</th>";
    if (after)
        html += "<th>後 (after)</th>";
    html += "</tr>";
    const auto b = before ? Shares(*before) : std::array<double, 6>{};
    const auto a = after ? Shares(*after) : std::array<double, 6>{};
    for (std::size_t k = 0; k < kKinds.size(); ++k) {
        if (b[k] <= 0 && a[k] <= 0)
            continue;
        html += "<tr><td><span class=\"swatch " + std::string(kKinds[k].cssClass) + "\"></span>" +
                kKinds[k].label + "</td><td>" + (before ? BytesText(b[k]) : "") + "</td>";
        if (after)
            html += "<td>" + BytesText(a[k]) + "</td>";
        html += "</tr>";
    }
    return html + "</table>";
}

std::string FileName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

bool Kept(const batch::EntryReport& entry) {
    // A deck skipped because its output exists names that output without having written it.
    return !entry.output.empty() && entry.result == "compressed";
}

Composition CompositionOf(const std::string& path) {
    if (path.empty())
        return std::nullopt;
    try {
        return office::package::ReadStoredComposition(path);
    } catch (const std::exception&) {
        return std::nullopt; // not a package (a converted binary deck): shown as one whole
    }
}

std::string OutcomeText(const batch::EntryReport& entry) {
    const std::string& r = entry.result;
    if (r == "compressed")
        return entry.changesDiscarded ? "置き換えでは小さくならないため、置き換えずに保存しました (kept "
                                        "without the replacements, "
                                        "which made it no smaller)"
                                      : "圧縮して保存しました (compressed and kept)";
    if (r == "not-effective")
        return "保存しませんでした: 小さくなりません (not kept: it would not get smaller)";
    if (r == "not-smaller")
        return "保存しませんでした: 元のファイルより小さくなりません (not kept: no smaller than the input)";
    if (r == "cancelled")
        return "保存しませんでした: 取り消されました (not kept: cancelled)";
    if (r == "refused")
        return "処理できません: この形式は開けません (refused: this format cannot be opened)";
    if (r == "open-failed")
        return "開けませんでした (could not be opened)";
    if (r == "save-failed")
        return "保存できませんでした (could not be saved)";
    if (r == "stopped")
        return "中断しました (stopped)";
    if (r == "not-started")
        return "処理されませんでした (not started)";
    if (r == "skipped-existing")
        return "出力ファイルがすでにあるため処理しませんでした (skipped: the output exists)";
    if (r == "failed")
        return "失敗しました (failed)";
    return "保存しませんでした (not kept): " + r;
}

std::string DeckSummaryHtml(const batch::EntryReport& entry, const Composition& before,
                            const Composition& after) {
    const bool kept = Kept(entry);
    std::string html = "<h2>" + Escaped(FileName(entry.input)) + "</h2>";
    html += "<p class=\"path\">" + Escaped(entry.input) + "</p>";
    html += std::string("<p class=\"outcome ") + (kept ? "kept" : "not-kept") + "\">" +
            Escaped(OutcomeText(entry));
    if (kept)
        html += " " + BytesText(entry.bytesBefore) + " → " + BytesText(entry.bytesAfter) + " (" +
                ChangeText(entry.bytesBefore, entry.bytesAfter) + ")";
    html += "</p>";
    if (entry.goal) {
        html += std::string("<p class=\"goal\">目標 (goal) ") + BytesText(double(entry.goal->targetBytes)) +
                ": " + (entry.goal->reached ? "達成 (reached)" : "未達 (not reached)") + "</p>";
    }
    if (kept)
        html += "<p class=\"output\">出力ファイル (output): " + Escaped(entry.output) + "</p>";

    if (entry.bytesBefore > 0) {
        const double longest = std::max(entry.bytesBefore, kept ? entry.bytesAfter : 0.0);
        html += "<div class=\"bars\">" + Bar("前 (before)", entry.bytesBefore, before, longest);
        if (kept)
            html += Bar("後 (after)", entry.bytesAfter, after, longest);
        html += "</div>" + Legend(before, after);
    }
    return html;
}

} // namespace report
