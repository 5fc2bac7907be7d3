#include "report/HtmlReport.h"

#include "platform/AtomicFile.h"
#include "report/DeckSection.h"
#include "report/HtmlText.h"
#include "report/PictureTable.h"

namespace report {

namespace {

constexpr const char* kStyle = R"(
body{font-family:sans-serif;margin:1.5em;color:#222;background:#fff}
h1{font-size:1.5em}h2{font-size:1.25em;margin:0}h3{font-size:1.05em}
section.deck{border-top:2px solid #ccc;padding-top:1em;margin-top:1.5em}
.path,.output,.hint{color:#555;font-size:.9em;word-break:break-all}
.outcome.kept{color:#176117}.outcome.not-kept{color:#8a4b00}
.bars{max-width:46em;margin:.5em 0}
.bar-row{display:flex;align-items:center;margin:.2em 0}
.bar-label{flex:none;width:6.5em;font-size:.9em}
.bar{display:flex;height:1.1em;min-width:2px;background:#eee}
.bar-total{margin-left:.5em;font-size:.9em;white-space:nowrap}
.seg{display:block;height:100%}
.swatch{display:inline-block;width:.8em;height:.8em;margin-right:.3em;vertical-align:middle}
.k-pictures{background:#4e79a7}.k-media{background:#f28e2b}.k-fonts{background:#e15759}
.k-objects{background:#76b7b2}.k-xml{background:#59a14f}.k-other{background:#bab0ac}
table.kinds{font-size:.85em;border-collapse:collapse}table.kinds td,table.kinds th{padding:0 .8em 0 0;text-align:right}
table.kinds td:first-child{text-align:left}
table.pictures{border-collapse:collapse}
table.pictures td{border-top:1px solid #ddd;padding:.5em;vertical-align:top}
td.images{white-space:nowrap}td.facts{min-width:18em}
tr.picture.low td.facts{background:#fff1e0}
.mark{color:#b00;font-weight:bold}
.facts p{margin:.15em 0;font-size:.9em}
figure{display:inline-block;margin:0 .5em 0 0;vertical-align:top}
figcaption{font-size:.8em;color:#555}
summary{list-style:none;cursor:zoom-in}summary::-webkit-details-marker{display:none}
details img{display:block;max-width:320px;height:auto;background:repeating-conic-gradient(#ddd 0 25%,#fff 0 50%) 0 0/16px 16px}
details[open] summary{cursor:zoom-out}
details[open] img{max-width:none;width:min(46vw,calc(3 * var(--w, 320px)));height:auto}
.look-first{background:#fff1e0;padding:.4em .8em;display:inline-block}
.look-first ul{margin:.2em 0;padding-left:1.2em}
.no-image{display:inline-block;width:8em;color:#b00;font-size:.85em}
)";

std::string Totals(const std::vector<batch::EntryReport>& entries) {
    double before = 0, after = 0;
    std::size_t kept = 0, pictures = 0;
    for (const auto& e : entries) {
        before += e.bytesBefore;
        after += Kept(e) ? e.bytesAfter : e.bytesBefore;
        kept += Kept(e) ? 1 : 0;
        pictures += e.pictures.size();
    }
    return "<p class=\"totals\">" + std::to_string(entries.size()) + " 件中 " + std::to_string(kept) +
           " 件を保存 (" + std::to_string(kept) + " of " + std::to_string(entries.size()) +
           " kept) · 合計 (total) " + BytesText(before) + " → " + BytesText(after) + " (" +
           ChangeText(before, after) + ") · 置き換えた画像 (replaced pictures) " + std::to_string(pictures) +
           "</p>";
}

// The pictures' bytes as the two files store them, where the files name their parts: a metafile is
// stored deflated, so its encoded size would overstate it.
std::vector<automation::ReplacedPicture> AsStored(std::vector<automation::ReplacedPicture> pictures,
                                                  const Composition& before, const Composition& after) {
    const auto stored = [](const Composition& c, const std::string& part) -> std::optional<double> {
        if (!c || part.empty())
            return std::nullopt;
        const auto it = c->entries.find(part);
        return it == c->entries.end() ? std::nullopt : std::optional<double>(double(it->second));
    };
    for (auto& p : pictures) {
        p.bytesBefore = stored(before, p.partBefore).value_or(p.bytesBefore);
        p.bytesAfter = stored(after, p.partAfter).value_or(p.bytesAfter);
    }
    return pictures;
}

} // namespace

std::string ReportHtml(const std::vector<batch::EntryReport>& entries) {
    std::string html = "<!DOCTYPE html>\n<html lang=\"ja\"><head><meta charset=\"utf-8\">"
                       "<meta name=\"viewport\" content=\"width=device-width\">"
                       "<title>クオーネル 圧縮結果 (compression report)</title><style>";
    html += kStyle;
    html += "</style></head><body><h1>圧縮結果 (compression report)</h1>";
    html += Totals(entries);
    for (std::size_t k = 0; k < entries.size(); ++k) {
        const batch::EntryReport& e = entries[k];
        const std::string id = "d" + std::to_string(k + 1);
        const Composition before = CompositionOf(e.input);
        const Composition after = Kept(e) ? CompositionOf(e.output) : std::nullopt;
        html += "<section class=\"deck\" id=\"" + id + "\">" + DeckSummaryHtml(e, before, after);
        if (Kept(e))
            html += PictureTableHtml(AsStored(e.pictures, before, after), id);
        html += "</section>\n";
    }
    return html + "</body></html>\n";
}

bool WriteHtmlReport(const std::string& path, const std::vector<batch::EntryReport>& entries) {
    return platform::WriteFileAtomically(path, ReportHtml(entries));
}

} // namespace report
