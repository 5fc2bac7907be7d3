// Packages embedded in a deck (chart workbooks, pasted documents) come out of the save re-zipped with
// their pictures repacked, every entry meaning what it did; anything odd is kept byte for byte.

#include "TestImages.h"
#include "TestZip.h"
#include "office/package/Package.h"

#include <gtest/gtest.h>

using office::package::Package;
using office::package::SaveOptions;
namespace reltype = office::package::reltype;

namespace {

constexpr const char* kSlide = "/ppt/slides/slide1.xml";
constexpr const char* kXlsxType = "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

std::string Text(const testimages::Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

std::string SheetXml() {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<worksheet "
                      "xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><sheetData>";
    for (int row = 1; row <= 300; ++row) {
        xml += "<row r=\"" + std::to_string(row) + "\">";
        for (int col = 0; col < 4; ++col)
            xml += "<c r=\"" + std::string(1, char('A' + col)) + std::to_string(row) + "\"><v>" +
                   std::to_string((row * 7919 + col * 104729) % 100003) + "</v></c>";
        xml += "</row>";
    }
    return xml + "</sheetData></worksheet>";
}

// A workbook as office applications embed one for a chart: XML deflated at a fast level, a stored
// JPEG thumbnail, a PNG written without filtering; rels before [Content_Types].xml. `extra` is added.
std::vector<testzip::Item> WorkbookItems(const std::vector<testzip::Item>& extra = {}) {
    const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
    const std::string rels = "http://schemas.openxmlformats.org/package/2006/relationships";
    std::vector<testzip::Item> items{
        {"_rels/.rels",
         decl + "<Relationships xmlns=\"" + rels +
             "\"><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
             "relationships/officeDocument\" Target=\"xl/workbook.xml\"/><Relationship Id=\"rId2\" "
             "Type=\"http://schemas.openxmlformats.org/package/2006/relationships/metadata/thumbnail\" "
             "Target=\"docProps/thumbnail.jpeg\"/></Relationships>"},
        {"[Content_Types].xml",
         decl + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\"><Default "
                "Extension=\"jpeg\" ContentType=\"image/jpeg\"/><Default Extension=\"png\" "
                "ContentType=\"image/png\"/><Default Extension=\"rels\" "
                "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/><Default "
                "Extension=\"xml\" ContentType=\"application/xml\"/><Override PartName=\"/xl/workbook.xml\" "
                "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
                "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
                "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
                "</Types>"},
        {"xl/workbook.xml",
         decl + "<workbook xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
                "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><sheets>"
                "<sheet name=\"Sheet1\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>"},
        {"xl/_rels/workbook.xml.rels",
         decl + "<Relationships xmlns=\"" + rels +
             "\"><Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
             "relationships/worksheet\" Target=\"worksheets/sheet1.xml\"/></Relationships>"},
        {"xl/worksheets/sheet1.xml", SheetXml()},
        {"docProps/thumbnail.jpeg", Text(testimages::MakeJpeg(256, 192, 3, {})), false},
        {"xl/media/image1.png", Text(testimages::MakePng({90, 60, 2, 8, false, false})), false},
    };
    for (auto& item : items)
        item.level = 1;
    items.insert(items.end(), extra.begin(), extra.end());
    return items;
}

testzip::Bytes Workbook(const std::vector<testzip::Item>& extra = {}) {
    return testzip::BuildZip(WorkbookItems(extra));
}

// The small deck with each blob embedded from the slide under its name.
testzip::Bytes DeckEmbedding(const std::vector<std::pair<std::string, testzip::Bytes>>& blobs) {
    auto pkg = Package::OpenFromBytes(testzip::SmallDeck());
    for (const auto& [name, bytes] : blobs) {
        const bool package = name.ends_with(".xlsx") || name.ends_with(".docx");
        pkg->AddPart(name, package ? kXlsxType : "application/vnd.openxmlformats-officedocument.oleObject",
                     bytes);
        pkg->AddRelationship(kSlide, package ? reltype::kPackage : reltype::kOleObject, name);
    }
    SaveOptions plain;
    plain.repack = false;
    return pkg->SaveToBytes("test", plain);
}

const testzip::Entry* Find(const std::vector<testzip::Entry>& entries, const std::string& name) {
    for (const auto& e : entries)
        if (e.name == name)
            return &e;
    return nullptr;
}

// Every entry of the original is in the repacked archive with the same content (pictures: the same
// pixels), [Content_Types].xml first; pictures do not grow.
void ExpectSameContent(const testzip::Bytes& original, const testzip::Bytes& repacked) {
    const auto before = testzip::ReadZip(original);
    const auto after = testzip::ReadZip(repacked); // throws when not a valid archive
    ASSERT_EQ(after.size(), before.size());
    EXPECT_EQ(after.front().name, "[Content_Types].xml");
    for (const auto& entry : before) {
        SCOPED_TRACE(entry.name);
        const auto* out = Find(after, entry.name);
        ASSERT_TRUE(out);
        const testimages::Bytes was(entry.data.begin(), entry.data.end()),
            now(out->data.begin(), out->data.end());
        if (entry.name.ends_with(".jpeg") || entry.name.ends_with(".png")) {
            EXPECT_TRUE(testimages::SamePixels(now, was));
            EXPECT_LE(now.size(), was.size());
        } else if (entry.name.ends_with(".docx")) {
            ExpectSameContent(was, now);
        } else {
            EXPECT_EQ(out->data, entry.data);
        }
    }
}

} // namespace

TEST(EmbeddedPackage, WorkbookIsRezippedWithItsPicturesRepackedAndMeansTheSame) {
    // A document inside the workbook is a package too.
    const testzip::Bytes document = Workbook();
    const testzip::Bytes workbook =
        Workbook({{"xl/embeddings/Microsoft_Word_Document1.docx", Text(document), false}});
    // Known by its content: the same workbook under an object's name.
    const std::string asXlsx = "/ppt/embeddings/Microsoft_Excel_Worksheet1.xlsx";
    const std::string asBin = "/ppt/embeddings/oleObject1.bin";
    const auto deck = DeckEmbedding({{asXlsx, workbook}, {asBin, workbook}});

    const auto saved = Package::OpenFromBytes(deck)->SaveToBytes();
    auto copy = Package::OpenFromBytes(saved);
    for (const auto& name : {asXlsx, asBin}) {
        SCOPED_TRACE(name);
        const auto repacked = copy->PartBytes(name);
        EXPECT_LT(repacked.size() * 10, workbook.size() * 9) << "at least a tenth smaller";
        ExpectSameContent(workbook, repacked);
        const auto entries = testzip::ReadZip(repacked);
        EXPECT_LT(Find(entries, "docProps/thumbnail.jpeg")->data.size(),
                  Find(testzip::ReadZip(workbook), "docProps/thumbnail.jpeg")->data.size());
        const auto* inner = Find(entries, "xl/embeddings/Microsoft_Word_Document1.docx");
        EXPECT_LT(inner->data.size(), document.size()) << "the nested package was repacked too";
    }
    // The same input gives the same bytes.
    EXPECT_TRUE(Package::OpenFromBytes(deck)->SaveToBytes() == saved);
}

TEST(EmbeddedPackage, SignedPackageKeepsEveryPartsBytes) {
    const testzip::Bytes workbook =
        Workbook({{"_xmlsignatures/sig1.xml", "<Signature xmlns=\"http://www.w3.org/2000/09/xmldsig#\"/>"}});
    const std::string name = "/ppt/embeddings/Microsoft_Excel_Worksheet1.xlsx";
    const auto saved = Package::OpenFromBytes(DeckEmbedding({{name, workbook}}))->SaveToBytes();
    const auto repacked = Package::OpenFromBytes(saved)->PartBytes(name);
    EXPECT_LT(repacked.size(), workbook.size()) << "re-zipped all the same";
    const auto before = testzip::ReadZip(workbook), after = testzip::ReadZip(repacked);
    ASSERT_EQ(after.size(), before.size());
    for (const auto& entry : before)
        EXPECT_EQ(Find(after, entry.name)->data, entry.data) << entry.name;
}

TEST(EmbeddedPackage, AnythingOddIsKeptByteForByte) {
    const testzip::Bytes clean = Workbook();
    auto u32At = [](const testzip::Bytes& b, std::size_t at) {
        return std::uint32_t(b[at] | b[at + 1] << 8 | b[at + 2] << 16 | std::uint32_t(b[at + 3]) << 24);
    };
    const std::size_t end = clean.size() - 22;
    const std::size_t directory = u32At(clean, end + 16);

    std::vector<std::pair<std::string, testzip::Bytes>> odd;
    // A data descriptor announced in the first entry's local and central headers.
    testzip::Bytes descriptor = clean;
    descriptor[6] |= 0x08;
    descriptor[directory + 8] |= 0x08;
    odd.push_back({"descriptor.xlsx", descriptor});
    // A wrong checksum in the sheet's central record and local header.
    testzip::Bytes badCrc = clean;
    for (std::size_t at = 0; at + 4 < badCrc.size(); ++at)
        if (u32At(badCrc, at) == 0x02014B50u || u32At(badCrc, at) == 0x04034B50u) {
            const std::size_t nameAt = at + (u32At(badCrc, at) == 0x02014B50u ? 46 : 30);
            const std::size_t crcAt = at + (u32At(badCrc, at) == 0x02014B50u ? 16 : 14);
            if (std::string(badCrc.begin() + nameAt, badCrc.begin() + nameAt + 24) ==
                "xl/worksheets/sheet1.xml")
                badCrc[crcAt] ^= 0x5A;
        }
    odd.push_back({"crc.xlsx", badCrc});
    // An archive comment; bytes before the first entry.
    testzip::Bytes comment = clean;
    comment[end + 20] = 4;
    comment.insert(comment.end(), {'n', 'o', 't', 'e'});
    odd.push_back({"comment.xlsx", comment});
    testzip::Bytes prefixed = testzip::ToBytes("#!junk");
    prefixed.insert(prefixed.end(), clean.begin(), clean.end());
    odd.push_back({"prefixed.xlsx", prefixed});
    // A ZIP that is no package; a password-protected workbook (a compound file).
    odd.push_back({"plain.xlsx", testzip::BuildZip({{"data.xml", std::string(4000, 'x'), true}})});
    testzip::Bytes encrypted = testzip::ToBytes(std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
    for (char c : std::string("EncryptedPackage")) {
        encrypted.push_back(std::uint8_t(c));
        encrypted.push_back(0);
    }
    const auto noise = testimages::Noise(6000, 3);
    encrypted.insert(encrypted.end(), noise.begin(), noise.end());
    odd.push_back({"encrypted.xlsx", encrypted});

    std::vector<std::pair<std::string, testzip::Bytes>> blobs;
    for (const auto& [name, bytes] : odd)
        blobs.push_back({"/ppt/embeddings/" + name, bytes});
    blobs.push_back({"/ppt/embeddings/clean.xlsx", clean});
    const auto saved = Package::OpenFromBytes(DeckEmbedding(blobs))->SaveToBytes();
    auto copy = Package::OpenFromBytes(saved);
    for (const auto& [name, bytes] : blobs) {
        const auto after = copy->PartBytes(name);
        if (name.ends_with("clean.xlsx"))
            EXPECT_LT(after.size(), bytes.size()) << "the same workbook, clean, is repacked";
        else
            EXPECT_TRUE(after == bytes) << name;
    }
}
