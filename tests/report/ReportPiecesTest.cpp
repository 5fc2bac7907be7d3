// The report's small pieces: text encodings, which pictures are marked, and what counts as which kind.

#include "office/package/StoredComposition.h"
#include "report/DeckSection.h"
#include "report/HtmlReport.h"
#include "report/HtmlText.h"
#include "report/PictureTable.h"

#include <gtest/gtest.h>

using office::package::StoredKind;
using office::package::StoredKindOf;

TEST(ReportText, EncodesAsBrowsersReadIt) {
    auto b64 = [](const std::string& s) {
        return report::Base64(std::span(reinterpret_cast<const std::uint8_t*>(s.data()), s.size()));
    };
    // RFC 4648's test vectors.
    EXPECT_EQ(b64(""), "");
    EXPECT_EQ(b64("f"), "Zg==");
    EXPECT_EQ(b64("fo"), "Zm8=");
    EXPECT_EQ(b64("foo"), "Zm9v");
    EXPECT_EQ(b64("foob"), "Zm9vYg==");
    EXPECT_EQ(b64("fooba"), "Zm9vYmE=");
    EXPECT_EQ(b64("foobar"), "Zm9vYmFy");
    EXPECT_EQ(b64("\xff\xfe\xfd"), "//79");
    EXPECT_EQ(report::Escaped("<a href=\"x\">&'</a>"), "&lt;a href=&quot;x&quot;&gt;&amp;&#39;&lt;/a&gt;");
    EXPECT_EQ(report::Escaped("資料 1.pptx"), "資料 1.pptx");
    EXPECT_EQ(report::BytesText(980), "980 B");
    EXPECT_EQ(report::BytesText(1536), "1.5 KB");
    EXPECT_EQ(report::BytesText(3.5 * 1024 * 1024), "3.50 MB");
    EXPECT_EQ(report::ChangeText(200, 50), "−75 %");
    EXPECT_EQ(report::ChangeText(100, 103), "+3 %");
    EXPECT_EQ(report::ChangeText(0, 10), "");
}

TEST(ReportMarks, TheLeastSimilarAndTheUncomparedAreMarked) {
    auto picture = [](double similarity, bool compared = true) {
        automation::ReplacedPicture p;
        p.similarity = similarity;
        p.compared = compared;
        return p;
    };
    // Below the floor always; the three lowest only when under 0.99; one that could not be compared is the
    // lowest of all.
    const std::vector<automation::ReplacedPicture> pictures{picture(0.999), picture(0.85), picture(0.995),
                                                            picture(0.97),  picture(0.96), picture(1, false),
                                                            picture(0.998)};
    EXPECT_EQ(report::MarkedPictures(pictures),
              (std::vector<bool>{false, true, false, false, true, true, false}));
    const std::vector<automation::ReplacedPicture> poor{picture(0.8), picture(0.85), picture(0.89),
                                                        picture(0.88), picture(0.999)};
    EXPECT_EQ(report::MarkedPictures(poor), (std::vector<bool>{true, true, true, true, false}));
    const std::vector<automation::ReplacedPicture> fine{picture(0.999), picture(0.995), picture(0.992)};
    EXPECT_EQ(report::MarkedPictures(fine), (std::vector<bool>{false, false, false}));
    const std::vector<automation::ReplacedPicture> photos{picture(0.98), picture(0.97), picture(0.985),
                                                          picture(0.96)};
    EXPECT_EQ(report::MarkedPictures(photos), (std::vector<bool>{true, true, false, true}));
}

TEST(StoredKinds, EntriesCountByWhatTheyHold) {
    EXPECT_EQ(StoredKindOf("ppt/media/image1.jpeg"), StoredKind::Pictures);
    EXPECT_EQ(StoredKindOf("ppt/media/image2.PNG"), StoredKind::Pictures);
    EXPECT_EQ(StoredKindOf("ppt/media/image3.emf"), StoredKind::Pictures);
    EXPECT_EQ(StoredKindOf("ppt/media/media1.mp4"), StoredKind::Media);
    EXPECT_EQ(StoredKindOf("ppt/media/audio1.m4a"), StoredKind::Media);
    EXPECT_EQ(StoredKindOf("ppt/fonts/font1.fntdata"), StoredKind::Fonts);
    EXPECT_EQ(StoredKindOf("ppt/embeddings/oleObject1.bin"), StoredKind::Objects);
    EXPECT_EQ(StoredKindOf("ppt/embeddings/Microsoft_Excel_Worksheet.xlsx"), StoredKind::Objects);
    EXPECT_EQ(StoredKindOf("ppt/slides/slide1.xml"), StoredKind::Xml);
    EXPECT_EQ(StoredKindOf("ppt/slides/_rels/slide1.xml.rels"), StoredKind::Xml);
    EXPECT_EQ(StoredKindOf("[Content_Types].xml"), StoredKind::Xml);
    EXPECT_EQ(StoredKindOf("docProps/thumbnail.jpeg"), StoredKind::Pictures);
    EXPECT_EQ(StoredKindOf("ppt/printerSettings/printerSettings1.bin"), StoredKind::Other);
    EXPECT_EQ(StoredKindOf("customXml/item1"), StoredKind::Other);
}

TEST(ReportDecks, ADeckSkippedForItsExistingOutputIsNotShownAsKept) {
    batch::EntryReport skipped;
    skipped.input = "/nowhere/a.pptx";
    skipped.output = "/nowhere/a-圧縮前1KB.pptx"; // the output it would have written, which exists
    skipped.result = "skipped-existing";
    const std::string html = report::ReportHtml({skipped});
    EXPECT_NE(html.find("class=\"outcome not-kept\""), std::string::npos);
    EXPECT_NE(html.find(report::OutcomeText(skipped)), std::string::npos);
    EXPECT_EQ(html.find("出力ファイル (output)"), std::string::npos);
    EXPECT_NE(html.find("0 of 1 kept"), std::string::npos);
}
