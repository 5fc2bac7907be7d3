#include "report/PictureTable.h"

#include "report/HtmlText.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace report {

namespace {

constexpr std::size_t kLowestMarked = 3;
constexpr double kLowestBelow = 0.99;

std::string UseText(const automation::ReplacedPictureUse& use) {
    using automation::DeckPicturePlace;
    const std::string n = std::to_string(use.slide);
    const bool onSlide = use.slide > 0;
    switch (use.place) {
    case DeckPicturePlace::Slide:
        return onSlide ? "スライド " + n + " (slide " + n + ")" : "スライド (slide)";
    case DeckPicturePlace::Background:
        return onSlide ? "スライド " + n + " の背景 (background, slide " + n + ")" : "背景 (background)";
    case DeckPicturePlace::Fill:
        return onSlide ? "スライド " + n + " の塗りつぶし (fill, slide " + n + ")" : "塗りつぶし (fill)";
    case DeckPicturePlace::Layout:
        return "レイアウト (layout)";
    case DeckPicturePlace::Master:
        return "マスター (master)";
    case DeckPicturePlace::Notes:
        return "ノート (notes)";
    case DeckPicturePlace::MediaPoster:
        return onSlide ? "スライド " + n + " のメディアの表紙 (media poster, slide " + n + ")"
                       : "メディアの表紙 (media poster)";
    }
    return {};
}

const char* ByText(automation::ReplacedBy by) {
    switch (by) {
    case automation::ReplacedBy::Object:
        return "オブジェクトを画像に (object to picture)";
    case automation::ReplacedBy::DeckPicture:
        return "保存された画像 (stored picture)";
    default:
        return "画像 (picture)";
    }
}

const char* ByCode(automation::ReplacedBy by) {
    switch (by) {
    case automation::ReplacedBy::Object:
        return "object";
    case automation::ReplacedBy::DeckPicture:
        return "deck";
    default:
        return "walk";
    }
}

std::string Image(const automation::ReportImage& image, const char* which, const char* caption) {
    std::string html = "<figure><figcaption>" + std::string(caption) + "</figcaption>";
    if (image.bytes.empty())
        return html + "<span class=\"no-image\">描画できません (cannot be drawn)</span></figure>";
    return html + "<img class=\"" + which + "\" width=\"" + std::to_string(image.width) + "\" height=\"" +
           std::to_string(image.height) + "\" style=\"--w:" + std::to_string(image.width) + "px\" alt=\"" +
           caption + "\" src=\"" + DataUri(image) + "\"></figure>";
}

std::string SimilarityText(const automation::ReplacedPicture& p) {
    if (!p.compared)
        return "—";
    char text[16];
    std::snprintf(text, sizeof text, "%.3f", p.similarity);
    return text;
}

std::string Row(const automation::ReplacedPicture& p, bool marked, const std::string& id) {
    std::string html = "<tr class=\"picture" + std::string(marked ? " low" : "") + "\" id=\"" + id +
                       "\" data-by=\"" + ByCode(p.by) + "\" data-similarity=\"" + SimilarityText(p) +
                       "\" data-part=\"" + Escaped(p.partAfter) + "\">";
    html += "<td class=\"images\"><details><summary>" + Image(p.before, "before", "前 (before)") +
            Image(p.after, "after", "後 (after)") + "</summary></details></td>";
    html += "<td class=\"facts\">";
    if (marked)
        html += "<p class=\"mark\">要確認 (look at this first)</p>";
    html += "<p>" + std::string(ByText(p.by)) + "</p>";
    html += "<p>" + std::to_string(p.widthBefore) + "×" + std::to_string(p.heightBefore) + " " +
            Escaped(p.formatBefore) + " → " + std::to_string(p.widthAfter) + "×" +
            std::to_string(p.heightAfter) + " " + Escaped(p.formatAfter) + "</p>";
    html += "<p>" + BytesText(p.bytesBefore) + " → " + BytesText(p.bytesAfter) + " (" +
            ChangeText(p.bytesBefore, p.bytesAfter) + ")</p>";
    html += "<p>類似度 (similarity): <span class=\"similarity\">" + SimilarityText(p) + "</span></p>";
    std::string uses;
    for (const auto& use : p.uses)
        uses += (uses.empty() ? "" : "、") + UseText(use);
    html += "<p>使用箇所 (used on): " + uses + "</p></td></tr>";
    return html;
}

} // namespace

std::vector<bool> MarkedPictures(const std::vector<automation::ReplacedPicture>& pictures) {
    std::vector<bool> marked(pictures.size(), false);
    std::vector<std::size_t> order(pictures.size());
    std::iota(order.begin(), order.end(), 0);
    // Pictures that could not be compared come first: nothing vouches for them.
    const auto rank = [&](std::size_t i) { return pictures[i].compared ? pictures[i].similarity : -1.0; };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return rank(a) < rank(b); });
    for (std::size_t k = 0; k < order.size(); ++k) {
        const double s = rank(order[k]);
        marked[order[k]] = s < kLowSimilarity || (k < kLowestMarked && s < kLowestBelow);
    }
    return marked;
}

std::string PictureTableHtml(const std::vector<automation::ReplacedPicture>& pictures,
                             const std::string& deckId) {
    if (pictures.empty())
        return "<p class=\"no-pictures\">置き換えた画像はありません (no pictures were replaced)</p>";
    const std::vector<bool> marked = MarkedPictures(pictures);
    std::vector<std::size_t> order(pictures.size());
    std::iota(order.begin(), order.end(), 0);
    const auto saved = [&](std::size_t i) { return pictures[i].bytesBefore - pictures[i].bytesAfter; };
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return saved(a) > saved(b); });

    std::string html = "<h3>置き換えた画像 (replaced pictures): " + std::to_string(pictures.size()) + "</h3>";
    std::string first;
    for (std::size_t k = 0; k < order.size(); ++k)
        if (marked[order[k]])
            first += "<li><a href=\"#" + deckId + "-p" + std::to_string(k + 1) + "\">" +
                     std::to_string(k + 1) + "</a> " + SimilarityText(pictures[order[k]]) + "</li>";
    if (!first.empty())
        html += "<div class=\"look-first\">まず確認してほしい画像 (look at these first):<ul>" + first +
                "</ul></div>";
    html += "<p class=\"hint\">画像をクリックすると拡大します (click a picture to enlarge it)</p>";
    html += "<table class=\"pictures\">";
    for (std::size_t k = 0; k < order.size(); ++k)
        html += Row(pictures[order[k]], marked[order[k]], deckId + "-p" + std::to_string(k + 1));
    return html + "</table>";
}

} // namespace report
