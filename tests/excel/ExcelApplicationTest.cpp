#include "office/excel/ExcelApplication.h"

#include "automation/AutomationError.h"
#include "imaging/PictureFixtures.h"
#include "office/clipboard/EngineClipboard.h"
#include "office/excel/SheetPicture.h"

#include <gtest/gtest.h>

using namespace fixtures;
using automation::AutomationError;
using office::imaging::PictureKind;
using office::imaging::SniffKind;

namespace {

class ExcelTest : public ::testing::Test {
protected:
    void SetUp() override {
        excel = office::CreateExcelApplication(clipboard);
        book = excel->Workbooks()->Add();
        sheet = book->Worksheets(1);
    }

    // What a copied slide picture leaves: its rendering and that rendering as a metafile.
    void CopySource(const Raster& raster) {
        office::ClipboardContents contents;
        contents.picture.emplace(raster);
        clipboard.Set(contents);
    }

    // The bytes of the picture part a plain paste of the clipboard's shape would insert.
    std::vector<std::uint8_t> ClipboardPictureBytes() {
        const auto& shape = clipboard.Contents().shape;
        EXPECT_TRUE(shape.has_value());
        if (!shape || shape->parts.empty()) {
            return {};
        }
        return *shape->parts.front().bytes;
    }

    office::EngineClipboard clipboard;
    std::shared_ptr<automation::IExcelApplication> excel;
    std::shared_ptr<automation::IWorkbook> book;
    std::shared_ptr<automation::IWorksheet> sheet;
};

} // namespace

TEST_F(ExcelTest, EachCaptionPastesItsFormatAndCopiesBack) {
    const struct {
        const char* caption;
        PictureKind kind;
        const char* contentType;
    } cases[] = {{"図 (JPEG)", PictureKind::Jpeg, "image/jpeg"},
                 {"図 (PNG)", PictureKind::Png, "image/png"},
                 {"図 (GIF)", PictureKind::Gif, "image/gif"},
                 {"図 (拡張メタファイル)", PictureKind::Emf, "image/x-emf"}};
    for (const auto& c : cases) {
        CopySource(Quadrants(40, 30));
        sheet->PasteSpecial(c.caption, false, false);
        clipboard.Clear();
        sheet->Shapes(1)->Copy();
        const auto bytes = ClipboardPictureBytes();
        EXPECT_EQ(SniffKind(bytes), c.kind) << c.caption;
        EXPECT_EQ(clipboard.Contents().shape->parts.front().contentType, c.contentType);
        // The shape is as large as the picture at 96 dpi: 40 x 30 px = 30 x 22.5 pt.
        EXPECT_NE(clipboard.Contents().shape->xml.find("cx=\"381000\""), std::string::npos) << c.caption;
        ASSERT_TRUE(clipboard.Contents().picture.has_value());
        EXPECT_EQ(clipboard.Contents().picture->Width(), 40);
        EXPECT_TRUE(Near(At(clipboard.Contents().picture->Pixels(), 30, 25), kYellow, 12)) << c.caption;
        EXPECT_TRUE(clipboard.ContainsMetafile());
        sheet->Shapes(1)->Delete();
        EXPECT_THROW(sheet->Shapes(1), AutomationError);
    }
}

TEST_F(ExcelTest, JpegPasteLosesTransparencyAndTheCopiedMetafileShowsIt) {
    CopySource(DiscOnClear(100));
    const auto before = clipboard.RenderMetafile(100, 100);
    ASSERT_TRUE(before.has_value());
    EXPECT_EQ(before->At(2, 2), 0xFFFFFFu);

    sheet->PasteSpecial("図 (JPEG)", false, false);
    sheet->Shapes(1)->Copy();
    const auto after = clipboard.RenderMetafile(100, 100);
    ASSERT_TRUE(after.has_value());
    EXPECT_LT(after->At(2, 2) & 0xFF, 8u); // black where it was clear
    EXPECT_FALSE(clipboard.Contents().picture->Pixels().HasTransparency());
}

TEST_F(ExcelTest, MetafileCaptionKeepsAMetafileSourceAsItIs) {
    const auto source = office::imaging::WrapInEmf(Solid(20, 10, kGreen));
    office::ClipboardContents contents;
    contents.metafile = source;
    clipboard.Set(contents);
    sheet->PasteSpecial("図 (拡張メタファイル)", false, false);
    clipboard.Clear();
    sheet->Shapes(1)->Copy();
    EXPECT_EQ(ClipboardPictureBytes(), source);
    EXPECT_EQ(clipboard.Contents().metafile, source);
    EXPECT_TRUE(Near(At(clipboard.Contents().picture->Pixels(), 5, 5), kGreen, 0));
    // Alone it takes its own size (20 x 10 px = 15 pt wide)...
    EXPECT_NE(clipboard.Contents().shape->xml.find("cx=\"190500\""), std::string::npos);

    // ...beside a rendering it takes the size it was copied at (40 px = 30 pt wide).
    contents.picture.emplace(Solid(40, 20, kGreen));
    clipboard.Set(contents);
    sheet->Shapes(1)->Delete();
    sheet->PasteSpecial("図 (拡張メタファイル)", false, false);
    sheet->Shapes(1)->Copy();
    EXPECT_EQ(ClipboardPictureBytes(), source);
    EXPECT_NE(clipboard.Contents().shape->xml.find("cx=\"381000\""), std::string::npos);
}

TEST_F(ExcelTest, RefusesWhatItCannotPaste) {
    CopySource(Quadrants(10, 10));
    EXPECT_THROW(sheet->PasteSpecial("図 (BMP)", false, false), AutomationError);
    EXPECT_THROW(sheet->PasteSpecial("JPEG", false, false), AutomationError);
    EXPECT_THROW(sheet->PasteSpecial("図 (PNG)", true, false), AutomationError);
    EXPECT_THROW(sheet->PasteSpecial("図 (PNG)", false, true), AutomationError);
    EXPECT_THROW(sheet->Shapes(1), AutomationError); // nothing was pasted
    clipboard.Clear();
    EXPECT_THROW(sheet->PasteSpecial("図 (PNG)", false, false), AutomationError);
    EXPECT_THROW(sheet->PasteSpecial("図 (拡張メタファイル)", false, false), AutomationError);
}

TEST_F(ExcelTest, ApplicationWorkbooksAndQuit) {
    EXPECT_FALSE(excel->Name().empty());
    EXPECT_EQ(excel->Workbooks()->Count(), 1);
    excel->SetWindowState(-4140);
    EXPECT_EQ(excel->WindowState(), -4140);
    excel->SetVisible(true);
    EXPECT_TRUE(excel->Visible());
    EXPECT_THROW(book->Worksheets(2), AutomationError);
    book->SetSaved(false);
    EXPECT_FALSE(book->Saved());
    book->SetSaved(true);
    EXPECT_TRUE(book->Saved());
    book->Close();
    EXPECT_EQ(excel->Workbooks()->Count(), 0);
    EXPECT_THROW(book->Worksheets(1), AutomationError);
    CopySource(Quadrants(10, 10));
    EXPECT_THROW(sheet->PasteSpecial("図 (PNG)", false, false), AutomationError); // its book is closed

    auto second = excel->Workbooks()->Add();
    second->Worksheets(1)->PasteSpecial("図 (PNG)", false, false);
    auto shape = second->Worksheets(1)->Shapes(1);
    excel->Quit();
    EXPECT_THROW(excel->Name(), AutomationError);
    EXPECT_THROW(excel->Workbooks(), AutomationError);
    EXPECT_THROW(shape->Copy(), AutomationError);
}
