// The deck-wide picture pass over generated decks: one deck per place a picture can be shown
// outside the slides' picture shapes, checked in the package afterwards.

#include "automation/DeckPictures.h"

#include "OfficeTestSupport.h"
#include "office/deckpictures/PictureDensity.h"
#include "office/deckpictures/PictureUses.h"
#include "office/imaging/EncoderSettings.h"
#include "office/imaging/Imaging.h"
#include "office/imaging/JpegChoice.h"
#include "office/imaging/Similarity.h"
#include "office/model/BlankTemplate.h"
#include "office/model/ModelImpl.h"
#include "office/package/OpcTypes.h"

#include <gtest/gtest.h>
#include <vips/vips8>

namespace {

using automation::DeckPicturePlace;
using automation::DeckPictureRequest;
using automation::DeckPictureResult;
using office::imaging::PictureKind;
namespace pkgns = office::package;

constexpr const char* kNotesSlideType =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/notesSlide";
constexpr const char* kNotesSlideContent =
    "application/vnd.openxmlformats-officedocument.presentationml.notesSlide+xml";
constexpr const char* kSvgBlip = "{96DAC541-7B7A-43D3-8B79-37D633B846F1}";

// Smooth colour fields with grain: a photo to the encoders. alphaLeft clears the left part.
office::imaging::Raster Photo(int width, int height, double alphaLeft = 0) {
    office::imaging::Raster r;
    r.width = width;
    r.height = height;
    r.rgba.resize(static_cast<std::size_t>(width) * height * 4);
    std::uint32_t state = 7;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            const int grain = static_cast<int>((state >> 24) % 24) - 12;
            auto* p = &r.rgba[(static_cast<std::size_t>(y) * width + x) * 4];
            p[0] = static_cast<std::uint8_t>(std::clamp(60 + 150 * x / width + grain, 0, 255));
            p[1] = static_cast<std::uint8_t>(std::clamp(40 + 170 * y / height + grain, 0, 255));
            p[2] =
                static_cast<std::uint8_t>(std::clamp(200 - 120 * (x + y) / (width + height) + grain, 0, 255));
            p[3] = x < alphaLeft * width ? 0 : 255;
        }
    }
    return r;
}

class DeckPictures : public ::testing::Test {
protected:
    DeckPictures() : provider("12.0") {
        app = provider.CreatePowerPoint();
        presentation = app->Presentations()->Add(true);
        slide = presentation->Slides()->Add(1, automation::ppLayoutBlank);
        impl = std::dynamic_pointer_cast<office::model::PresentationImpl>(presentation);
        slidePart = std::dynamic_pointer_cast<office::model::SlideImpl>(slide)->PartName();
        for (const auto& rel : Pkg().Relationships(slidePart))
            if (rel.type == pkgns::reltype::kSlideLayout)
                layoutPart = rel.targetPart;
        for (const auto& rel : Pkg().Relationships(layoutPart))
            if (rel.type == pkgns::reltype::kSlideMaster)
                masterPart = rel.targetPart;
        request.scaleFactor = 1.4;
        request.format = 0;
        request.minimumBytes = 50 * 1024;
        request.expectRate = 75;
        request.isDefaultPictureName = [](const std::string& name, bool) {
            return name.rfind("Picture ", 0) == 0;
        };
    }

    pkgns::Package& Pkg() { return impl->Pkg("test"); }

    // Adds a picture part related from source; returns the relationship id.
    std::string AddImage(const std::string& source, const std::vector<std::uint8_t>& bytes, const char* ext,
                         std::string* partName = nullptr) {
        const std::string type = std::string("image/") + (std::string(ext) == "jpeg" ? "jpeg" : ext);
        const std::string part =
            Pkg().AddPartWithUniqueName("/ppt/media/image", std::string(".") + ext, type, bytes);
        if (partName)
            *partName = part;
        return Pkg().AddRelationship(source, pkgns::reltype::kImage, part);
    }

    // Appends shapes to the part's shape tree, or puts a background in front of it.
    void Inject(const std::string& part, const std::string& xml, bool background = false) {
        pugi::xml_node cSld = Pkg().XmlForEdit(part).document_element().child("p:cSld");
        if (background) {
            pugi::xml_document fragment;
            ASSERT_TRUE(fragment.load_string(xml.c_str()));
            cSld.prepend_copy(fragment.first_child());
        } else {
            pugi::xml_node tree = cSld.child("p:spTree");
            ASSERT_EQ(tree.append_buffer(xml.data(), xml.size()).status, pugi::status_ok);
        }
    }

    // Saves the deck and opens it again, as the pass meets it after the walk: every part as stored.
    std::vector<DeckPictureResult> Run() {
        const std::string file = dir.File("deck" + std::to_string(++saves) + ".pptx");
        presentation->SaveAs(file);
        presentation = app->Presentations()->Open(file, true);
        impl = std::dynamic_pointer_cast<office::model::PresentationImpl>(presentation);
        return dynamic_cast<automation::IDeckPictures&>(*presentation).CompressDeckPictures(request);
    }

    std::string TargetOf(const std::string& source, const std::string& id) {
        return Pkg().FindRelationship(source, id)->targetPart;
    }

    office::imaging::PixelSize SizeOf(const std::string& part) {
        return office::imaging::MeasurePicture(Pkg().PartBytes(part));
    }

    static std::string Background(const std::string& id) {
        return "<p:bg><p:bgPr><a:blipFill dpi=\"0\" rotWithShape=\"1\"><a:blip r:embed=\"" + id +
               "\"/><a:stretch><a:fillRect/></a:stretch></a:blipFill><a:effectLst/></p:bgPr></p:bg>";
    }
    // A picture shape at 0,0 of the given size in inches.
    static std::string Pic(int id, const std::string& name, const std::string& rel, double wIn, double hIn,
                           const std::string& blipExtra = "") {
        return "<p:pic><p:nvPicPr><p:cNvPr id=\"" + std::to_string(id) + "\" name=\"" + name +
               "\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr><p:blipFill><a:blip r:embed=\"" + rel + "\">" +
               blipExtra +
               "</a:blip><a:stretch><a:fillRect/></a:stretch></p:blipFill><p:spPr><a:xfrm><a:off x=\"0\" "
               "y=\"0\"/><a:ext cx=\"" +
               std::to_string(static_cast<long>(wIn * 914400)) + "\" cy=\"" +
               std::to_string(static_cast<long>(hIn * 914400)) +
               "\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></p:spPr></p:pic>";
    }
    static std::string FilledShape(int id, const std::string& rel, double wIn, double hIn,
                                   const std::string& fillTail) {
        return "<p:sp><p:nvSpPr><p:cNvPr id=\"" + std::to_string(id) +
               "\" name=\"Rectangle 1\"/><p:cNvSpPr/><p:nvPr/></p:nvSpPr><p:spPr><a:xfrm><a:off x=\"0\" "
               "y=\"0\"/><a:ext cx=\"" +
               std::to_string(static_cast<long>(wIn * 914400)) + "\" cy=\"" +
               std::to_string(static_cast<long>(hIn * 914400)) +
               "\"/></a:xfrm><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom><a:blipFill><a:blip "
               "r:embed=\"" +
               rel + "\"/>" + fillTail + "</a:blipFill></p:spPr></p:sp>";
    }

    office::OfficeProvider provider;
    officetest::TempDir dir;
    int saves = 0;
    automation::ApplicationPtr app;
    automation::PresentationPtr presentation;
    automation::SlidePtr slide;
    std::shared_ptr<office::model::PresentationImpl> impl;
    std::string slidePart, layoutPart, masterPart;
    DeckPictureRequest request;
};

TEST_F(DeckPictures, SlideBackgroundIsSizedToTheSlideAndStaysWhereItIs) {
    std::string part;
    const auto jpeg = office::imaging::EncodeJpeg(Photo(3000, 1688));
    const std::string rel = AddImage(slidePart, jpeg, "jpeg", &part);
    Inject(slidePart, Background(rel), true);

    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].place, DeckPicturePlace::Background);
    EXPECT_EQ(results[0].format, "JPEG");
    EXPECT_EQ(results[0].part, part);
    EXPECT_EQ(TargetOf(slidePart, rel), part);
    // 13.333 x 7.5 in at 96 dpi x 1.4, the picture's aspect kept.
    const auto size = SizeOf(part);
    EXPECT_NEAR(size.width, 1792, 2);
    EXPECT_NEAR(size.height, 1008, 2);
    EXPECT_LT(Pkg().PartSize(part), jpeg.size() * 3 / 4);
    EXPECT_EQ(results[0].bytesBefore, static_cast<double>(jpeg.size()));
}

// The pass keeps what the walk keeps: the pixels' RGB profile, and CMYK inks in CMYK (see
// CmykJpegCopy), whichever renderer then shows the picture.
TEST_F(DeckPictures, ABackgroundKeepsItsRgbProfileAndItsCmykInks) {
    const office::imaging::Raster photo = Photo(3000, 1688);
    const vips::VImage rgb =
        vips::VImage(vips_image_new_from_memory_copy(photo.rgba.data(), photo.rgba.size(), photo.width,
                                                     photo.height, 4, VIPS_FORMAT_UCHAR))
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .extract_band(0, vips::VImage::option()->set("n", 3));
    auto jpegOf = [](const vips::VImage& image) {
        void* data = nullptr;
        std::size_t size = 0;
        image.write_to_buffer(".jpg[Q=95]", &data, &size);
        std::vector<std::uint8_t> out(static_cast<std::uint8_t*>(data),
                                      static_cast<std::uint8_t*>(data) + size);
        g_free(data);
        return out;
    };
    auto profileOf = [](const vips::VImage& image) {
        std::size_t size = 0;
        const auto* data = static_cast<const std::uint8_t*>(image.get_blob(VIPS_META_ICC_NAME, &size));
        return std::vector<std::uint8_t>(data, data + size);
    };
    struct Case {
        std::string part;
        vips::VImage source;
    };
    Case cases[] = {{slidePart, rgb.icc_export(vips::VImage::option()->set("output_profile", "p3"))},
                    {layoutPart, rgb.icc_export(vips::VImage::option()->set("output_profile", "cmyk"))}};
    std::vector<std::string> pictures;
    for (const Case& c : cases) {
        std::string picture;
        Inject(c.part, Background(AddImage(c.part, jpegOf(c.source), "jpeg", &picture)), true);
        pictures.push_back(picture);
    }
    ASSERT_EQ(Run().size(), 2u);
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        const vips::VImage& source = cases[i].source;
        SCOPED_TRACE(pictures[i]);
        const auto stored = Pkg().PartBytes(pictures[i]);
        const vips::VImage result =
            vips::VImage::new_from_buffer(stored.data(), stored.size(), "").copy_memory();
        EXPECT_LT(result.width(), source.width());
        EXPECT_EQ(result.interpretation(), source.interpretation());
        if (source.interpretation() == VIPS_INTERPRETATION_CMYK) {
            EXPECT_EQ(result.get_typeof(VIPS_META_ICC_NAME), 0u);
        } else {
            ASSERT_NE(result.get_typeof(VIPS_META_ICC_NAME), 0u);
            EXPECT_EQ(profileOf(result), profileOf(source));
        }
        const vips::VImage expected = source.resize(static_cast<double>(result.width()) / source.width());
        EXPECT_LT((result.cast(VIPS_FORMAT_FLOAT) - expected.cast(VIPS_FORMAT_FLOAT)).abs().avg(), 4.0);
    }
}

namespace {

// RGB as LibreOffice draws decoded (upright) inks, interleaved: white less each ink and black.
std::vector<std::uint8_t> DrawnInks(const vips::VImage& inks) {
    const vips::VImage drawn =
        255 - (inks.extract_band(0, vips::VImage::option()->set("n", 3)) + inks.extract_band(3));
    const vips::VImage clipped = (drawn < 0).ifthenelse(0, drawn).cast(VIPS_FORMAT_UCHAR).copy_memory();
    const auto* data = static_cast<const std::uint8_t*>(clipped.data());
    return {data, data + static_cast<std::size_t>(clipped.width()) * clipped.height() * 3};
}

} // namespace

// A CMYK photo (print material, black laid under its shadows; the grain softened as a camera's) as a
// layout background: its replacement stays CMYK, well below its inks as four full planes; the black
// plane, coded at full size beside the colour planes, keeps it above an RGB JPEG of the same drawing.
// It is drawn as the source is drawn.
TEST_F(DeckPictures, ACmykPhotoBackgroundIsYcckAtThePhotoTargets) {
    const office::imaging::Raster photo = Photo(3000, 1688);
    const vips::VImage rgb =
        (vips::VImage(vips_image_new_from_memory_copy(photo.rgba.data(), photo.rgba.size(), photo.width,
                                                      photo.height, 4, VIPS_FORMAT_UCHAR))
             .extract_band(0, vips::VImage::option()->set("n", 3))
             .gaussblur(1.2) *
         0.6)
            .cast(VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
    void* data = nullptr;
    std::size_t size = 0;
    rgb.icc_export(vips::VImage::option()->set("output_profile", "cmyk"))
        .write_to_buffer(".jpg[Q=95]", &data, &size);
    const std::vector<std::uint8_t> source(static_cast<std::uint8_t*>(data),
                                           static_cast<std::uint8_t*>(data) + size);
    g_free(data);
    std::string picture;
    Inject(layoutPart, Background(AddImage(layoutPart, source, "jpeg", &picture)), true);
    ASSERT_EQ(Run().size(), 1u);

    const auto stored = Pkg().PartBytes(picture);
    const vips::VImage result = vips::VImage::new_from_buffer(stored.data(), stored.size(), "").copy_memory();
    ASSERT_EQ(result.interpretation(), VIPS_INTERPRETATION_CMYK);
    const vips::VImage inks =
        vips::VImage::new_from_buffer(source.data(), source.size(), "")
            .resize(static_cast<double>(result.width()) / 3000,
                    vips::VImage::option()->set("vscale", static_cast<double>(result.height()) / 1688))
            .copy_memory();
    ASSERT_EQ(inks.width(), result.width());
    ASSERT_EQ(inks.height(), result.height());
    ASSERT_GT(inks.extract_band(3).avg(), 20.0);
    const std::vector<std::uint8_t> expected = DrawnInks(inks);

    office::imaging::Raster drawn;
    drawn.width = inks.width();
    drawn.height = inks.height();
    for (std::size_t i = 0; i < expected.size(); i += 3)
        drawn.rgba.insert(drawn.rgba.end(), {expected[i], expected[i + 1], expected[i + 2], 255});
    const std::size_t rgbBytes = office::imaging::EncodeJpeg(drawn).size();
    const vips::VImage drawnImage =
        vips::VImage::new_from_memory(const_cast<std::uint8_t*>(expected.data()), expected.size(),
                                      drawn.width, drawn.height, 3, VIPS_FORMAT_UCHAR)
            .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB))
            .copy_memory();
    const int quality = office::imaging::detail::ChooseAndEncodeJpeg(drawnImage).settings.quality;
    const std::size_t fourPlanes =
        office::imaging::detail::EncodeJpegWith(inks, {quality, false, false}).size();
    EXPECT_LT(stored.size(), fourPlanes * 6 / 10);
    EXPECT_LT(stored.size(), rgbBytes * 3);

    // Resampled before or after drawing makes a small difference of its own, hence a little below the
    // encoders' targets.
    const auto s =
        office::imaging::detail::MeasureSimilarity(expected, DrawnInks(result), drawn.width, drawn.height, 3);
    EXPECT_GE(s.luma, 0.97);
    EXPECT_GE(s.chroma, 0.85);
}

TEST_F(DeckPictures, LayoutBackgroundInPngBecomesJpegAndEveryRelationshipFollows) {
    std::string part;
    const auto png = office::imaging::EncodePng(Photo(1400, 788));
    const std::string rel = AddImage(layoutPart, png, "png", &part);
    Inject(layoutPart, Background(rel), true);
    // The same picture filling a shape on the slide.
    const std::string slideRel = Pkg().AddRelationship(slidePart, pkgns::reltype::kImage, part);
    Inject(slidePart, FilledShape(20, slideRel, 1, 1, "<a:stretch><a:fillRect/></a:stretch>"));

    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].place, DeckPicturePlace::Background);
    const std::string renamed = results[0].part;
    EXPECT_EQ(pkgns::PartExtension(renamed), "jpeg");
    EXPECT_FALSE(Pkg().HasPart(part));
    EXPECT_EQ(TargetOf(layoutPart, rel), renamed);
    EXPECT_EQ(TargetOf(slidePart, slideRel), renamed);
    EXPECT_EQ(Pkg().ContentType(renamed), "image/jpeg");
    EXPECT_EQ(office::imaging::SniffKind(Pkg().PartBytes(renamed)), PictureKind::Jpeg);
    // Smaller than the slide at 1.4: never enlarged.
    EXPECT_EQ(SizeOf(renamed).width, 1400);
}

TEST_F(DeckPictures, BackgroundWithoutAFillRectangleKeepsItsPixels) {
    // A theme's background style: <a:stretch/> alone, which some renderers draw at the picture's size.
    std::string theme;
    for (const auto& rel : Pkg().Relationships(masterPart))
        if (rel.type == pkgns::reltype::kTheme)
            theme = rel.targetPart;
    ASSERT_FALSE(theme.empty());
    std::string part;
    const std::string rel = AddImage(theme, office::imaging::EncodePng(Photo(1920, 1080)), "png", &part);
    pugi::xml_node list = Pkg().XmlForEdit(theme).select_node("//a:bgFillStyleLst").node();
    ASSERT_TRUE(list);
    pugi::xml_node blip = list.append_child("a:blipFill").append_child("a:blip");
    blip.append_attribute("r:embed") = rel.c_str();
    blip.parent().append_child("a:stretch");
    request.format = 1; // JPEG: the recommended format keeps such a picture lossless
    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].place, DeckPicturePlace::Background);
    const auto size = SizeOf(TargetOf(theme, rel));
    EXPECT_EQ(size.width, 1920);
    EXPECT_EQ(size.height, 1080);
}

// A picture shape is drawn into its frame whether or not its stretch names a rectangle.
TEST_F(DeckPictures, LayoutPictureWithABareStretchIsSizedToItsFrame) {
    std::string part;
    const std::string rel =
        AddImage(layoutPart, office::imaging::EncodeJpeg(Photo(2001, 1125)), "jpeg", &part);
    std::string pic = Pic(47, "Picture 2", rel, 5, 2.8125);
    pic.replace(pic.find("<a:stretch><a:fillRect/></a:stretch>"), 36, "<a:stretch/>");
    Inject(layoutPart, pic);

    const auto results = Run();

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].place, DeckPicturePlace::Layout);
    EXPECT_NEAR(SizeOf(TargetOf(layoutPart, rel)).width, 5 * 96 * 1.4, 1);
}

// A chart's area fill is drawn within the frame that shows the chart; a chart whose frame has no
// box of its own (a placeholder's) keeps its picture.
TEST_F(DeckPictures, ChartAreaPictureIsSizedToTheChartsFrame) {
    for (const bool framed : {true, false}) {
        const std::string chart = "/ppt/charts/chart" + std::to_string(framed ? 1 : 2) + ".xml";
        Pkg().AddPart(chart, "application/vnd.openxmlformats-officedocument.drawingml.chart+xml",
                      {'<', 'x', '/', '>'});
        std::string part;
        const std::string imageRel =
            AddImage(chart, office::imaging::EncodeJpeg(Photo(2400, framed ? 1600 : 1602)), "jpeg", &part);
        const std::string chartXml =
            "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
            "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
            "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/"
            "relationships\"><c:chart><c:plotArea>"
            "<c:layout/></c:plotArea></c:chart><c:spPr><a:blipFill><a:blip r:embed=\"" +
            imageRel + "\"/><a:stretch><a:fillRect/></a:stretch></a:blipFill></c:spPr></c:chartSpace>";
        Pkg().SetPartBytes(chart, std::vector<std::uint8_t>(chartXml.begin(), chartXml.end()));
        const std::string chartRel = Pkg().AddRelationship(
            slidePart, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/chart", chart);
        const std::string box = framed
                                    ? "<p:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"2743200\" cy=\"1828800\"/>"
                                      "</p:xfrm>"
                                    : "<p:xfrm/>";
        Inject(slidePart,
               "<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id=\"" + std::to_string(framed ? 48 : 49) +
                   "\" name=\"Chart 1\"/><p:cNvGraphicFramePr/><p:nvPr/></p:nvGraphicFramePr>" + box +
                   "<a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/"
                   "chart\"><c:chart xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
                   "r:id=\"" +
                   chartRel + "\"/></a:graphicData></a:graphic></p:graphicFrame>");
    }

    const auto results = Run();

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].place, DeckPicturePlace::Fill);
    EXPECT_EQ(results[0].width, 403);
    EXPECT_EQ(results[0].height, 269);
    EXPECT_EQ(SizeOf(results[0].part).width, 403);
}

TEST_F(DeckPictures, JpegDrawnPixelForPixelIsNotEncodedAgain) {
    std::string part;
    const std::string rel =
        AddImage(layoutPart, office::imaging::EncodeJpeg(Photo(2400, 1350)), "jpeg", &part);
    Inject(layoutPart,
           "<p:bg><p:bgPr><a:blipFill><a:blip r:embed=\"" + rel +
               "\"/><a:stretch/></a:blipFill></p:bgPr></p:bg>",
           true);
    request.expectRate = 100;
    for (const int format : {0, 1}) {
        request.format = format;
        EXPECT_TRUE(Run().empty()) << format;
        EXPECT_FALSE(Pkg().IsPartModified(part));
    }
    // The same background stretched over the slide is resampled to it.
    Pkg().XmlForEdit(layoutPart).select_node("//p:bg//a:stretch").node().append_child("a:fillRect");
    EXPECT_EQ(Run().size(), 1u);
}

TEST_F(DeckPictures, MasterPictureIsSizedToItsBoxAndLoggedAsMaster) {
    const std::string rel = AddImage(masterPart, office::imaging::EncodePng(Photo(1600, 800)), "png");
    Inject(masterPart, Pic(50, "Picture 9", rel, 2, 1));
    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].place, DeckPicturePlace::Master);
    const auto size = SizeOf(TargetOf(masterPart, rel));
    EXPECT_NEAR(size.width, 2 * 96 * 1.4, 1);
    EXPECT_NEAR(size.height, 1 * 96 * 1.4, 1);
}

TEST_F(DeckPictures, ASmallCutOutLogoGetsTwiceItsShownPixelsAPhotoTheChosenOnes) {
    // Shaded colour inside hard-edged discs on a clear background, shown one inch wide (96 pixels).
    office::imaging::Raster logo = Photo(1024, 1024);
    for (int y = 0; y < logo.height; ++y)
        for (int x = 0; x < logo.width; ++x)
            if (std::hypot(x - 512.0, y - 512.0) > 480 && std::hypot(x - 200.0, y - 200.0) > 150)
                logo.rgba[(static_cast<std::size_t>(y) * logo.width + x) * 4 + 3] = 0;
    const std::string logoRel = AddImage(masterPart, office::imaging::EncodePng(logo), "png");
    Inject(masterPart, Pic(50, "Picture 9", logoRel, 1, 1));
    const std::string photoRel = AddImage(layoutPart, office::imaging::EncodePng(Photo(1024, 1024)), "png");
    Inject(layoutPart, Pic(51, "Picture 10", photoRel, 1, 1));
    const auto results = Run();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(SizeOf(TargetOf(masterPart, logoRel)).width, 2 * 96);
    EXPECT_EQ(SizeOf(TargetOf(masterPart, logoRel)).height, 2 * 96);
    EXPECT_EQ(SizeOf(TargetOf(layoutPart, photoRel)).width, 134); // 96 x 1.4
    // A setting asking for more than twice the pixels is not reduced to it.
    request.scaleFactor = 3;
    const std::string bigRel = AddImage(masterPart, office::imaging::EncodePng(logo), "png");
    Inject(masterPart, Pic(52, "Picture 11", bigRel, 1, 1));
    Run();
    EXPECT_EQ(SizeOf(TargetOf(masterPart, bigRel)).width, 3 * 96);
}

// A fill that every place crops alike loses the cut-away area when it is reduced. A picture barely
// larger than the size wanted keeps its own pixels and its crop instead: reducing it would blur it
// for few bytes, and cutting it would move its pixels against the renderer's grid.
TEST_F(DeckPictures, ShapeFillCroppedAlikeLosesTheCutAwayAreaUnlessBarelyLargerThanWanted) {
    struct Case {
        int sourceWidth;
        int width, height; // of the new picture
        bool cropKept;
    };
    // The kept half over 4 x 4 in wants 538 px a side: 1000 px is reduced, 600 (1.12 times) is not.
    for (const Case& c : {Case{2000, 538, 538, false}, Case{1200, 1200, 600, true}}) {
        const std::string rel =
            AddImage(slidePart, office::imaging::EncodeJpeg(Photo(c.sourceWidth, c.sourceWidth / 2)), "jpeg");
        Inject(slidePart,
               FilledShape(c.sourceWidth / 100, rel, 4, 4,
                           "<a:srcRect l=\"25000\" t=\"0\" r=\"25000\" b=\"0\"/><a:stretch><a:fillRect/>"
                           "</a:stretch>"));
        request.minimumBytes = 0;
        request.expectRate = 100;
        const auto results = Run();
        ASSERT_EQ(results.size(), 1u) << c.sourceWidth;
        EXPECT_EQ(results[0].place, DeckPicturePlace::Fill);
        const auto size = SizeOf(TargetOf(slidePart, rel));
        EXPECT_NEAR(size.width, c.width, 1) << c.sourceWidth;
        EXPECT_NEAR(size.height, c.height, 1) << c.sourceWidth;
        const pugi::xml_node fill =
            Pkg().XmlForRead(slidePart).select_node("//p:sp[last()]/p:spPr/a:blipFill").node();
        EXPECT_EQ(static_cast<bool>(fill.child("a:srcRect")), c.cropKept) << c.sourceWidth;
        EXPECT_TRUE(fill.child("a:stretch"));
    }
}

TEST_F(DeckPictures, ShapesCroppingDifferentlyKeepTheirCropsAndTheWholePicture) {
    std::string part;
    const std::string rel =
        AddImage(slidePart, office::imaging::EncodeJpeg(Photo(2000, 1000)), "jpeg", &part);
    Inject(slidePart,
           FilledShape(20, rel, 2, 2, "<a:srcRect l=\"50000\"/><a:stretch><a:fillRect/></a:stretch>"));
    Inject(slidePart,
           FilledShape(21, rel, 2, 2, "<a:srcRect r=\"50000\"/><a:stretch><a:fillRect/></a:stretch>"));
    ASSERT_EQ(Run().size(), 1u);
    EXPECT_EQ(Pkg().XmlForRead(slidePart).select_nodes("//a:srcRect").size(), 2u);
    // Half the picture over 2 in: the whole at 2 x 269 px wide.
    EXPECT_NEAR(SizeOf(part).width, 538, 1);
}

TEST_F(DeckPictures, TableCellFillIsSizedToItsCell) {
    const std::string rel = AddImage(slidePart, office::imaging::EncodeJpeg(Photo(2400, 1200)), "jpeg");
    const std::string frame =
        "<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id=\"30\" name=\"Table "
        "1\"/><p:cNvGraphicFramePr/><p:nvPr/>"
        "</p:nvGraphicFramePr><p:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"3657600\" cy=\"914400\"/></p:xfrm>"
        "<a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/table\"><a:tbl>"
        "<a:tblGrid><a:gridCol w=\"914400\"/><a:gridCol w=\"2743200\"/></a:tblGrid><a:tr h=\"914400\">"
        "<a:tc><a:txBody><a:bodyPr/><a:p/></a:txBody><a:tcPr/></a:tc><a:tc><a:txBody><a:bodyPr/><a:p/></"
        "a:txBody>"
        "<a:tcPr><a:blipFill><a:blip r:embed=\"" +
        rel +
        "\"/><a:stretch><a:fillRect/></a:stretch></a:blipFill></a:tcPr></a:tc></a:tr></a:tbl>"
        "</a:graphicData></a:graphic></p:graphicFrame>";
    Inject(slidePart, frame);
    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    // The second column, 3 x 1 in: 403 x 134 px at the least, the picture's aspect (2:1) kept.
    const auto size = SizeOf(TargetOf(slidePart, rel));
    EXPECT_NEAR(size.width, 403, 1);
    EXPECT_NEAR(size.height, 202, 1);
}

TEST_F(DeckPictures, TiledFillKeepsItsPixelsAndItsDeclaredResolution) {
    // A PNG texture declaring 72 dpi: each tile is drawn at pixels / 72 inches.
    auto png = office::imaging::EncodePng(Photo(600, 600));
    const office::deckpictures::Density density{72 / 0.0254, 72 / 0.0254};
    ASSERT_TRUE(office::deckpictures::WriteDensity(png, PictureKind::Png, density));
    const std::string rel = AddImage(slidePart, png, "png");
    Inject(slidePart,
           FilledShape(20, rel, 1, 1, "<a:tile tx=\"0\" ty=\"0\" sx=\"50000\" sy=\"50000\" algn=\"tl\"/>"));
    request.minimumBytes = 0;
    // Recommended: drawn pixel for pixel, the texture stays lossless, and a PNG again gains nothing.
    EXPECT_TRUE(Run().empty());
    request.format = 1;
    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].format, "JPEG");
    const std::string part = TargetOf(slidePart, rel);
    const auto bytes = Pkg().PartBytes(part);
    EXPECT_EQ(SizeOf(part).width, 600);
    EXPECT_EQ(SizeOf(part).height, 600);
    const auto declared = office::deckpictures::ReadDensity(bytes, office::imaging::SniffKind(bytes));
    ASSERT_TRUE(declared);
    EXPECT_NEAR(declared->xPerMetre * 0.0254, 72, 0.01);
    EXPECT_NEAR(declared->yPerMetre * 0.0254, 72, 0.01);
    EXPECT_TRUE(Pkg().XmlForRead(slidePart).select_node("//a:tile[@sx='50000']"));
}

TEST_F(DeckPictures, AFadedPhotoTileBecomesALossyPngJudgedAsShown) {
    // A photo faded out towards its edges (most pixels semi-transparent), tiled at 100 % in a shape
    // drawn at 47 % opacity.
    office::imaging::Raster photo = Photo(420, 512);
    for (int y = 0; y < photo.height; ++y)
        for (int x = 0; x < photo.width; ++x) {
            const double edge = std::min({x, y, photo.width - 1 - x, photo.height - 1 - y}) / 180.0;
            photo.rgba[(static_cast<std::size_t>(y) * photo.width + x) * 4 + 3] =
                static_cast<std::uint8_t>(std::lround(255 * std::min(1.0, edge)));
        }
    auto png = office::imaging::EncodePng(photo, {}, true); // lossless
    ASSERT_EQ(png.at(25), 6);
    ASSERT_TRUE(office::deckpictures::WriteDensity(png, PictureKind::Png,
                                                   office::deckpictures::Density{96 / 0.0254, 96 / 0.0254}));
    std::string source;
    const std::string rel = AddImage(slidePart, png, "png", &source);
    Inject(slidePart,
           FilledShape(20, rel, 6, 6, "<a:tile tx=\"0\" ty=\"0\" sx=\"100000\" sy=\"100000\" algn=\"tl\"/>"));
    pugi::xml_node blip = Pkg().XmlForEdit(slidePart).select_node("//a:blip").node();
    blip.append_child("a:alphaModFix").append_attribute("amt").set_value("47000");
    const auto uses = office::deckpictures::CollectPictureUses(Pkg(), request.isDefaultPictureName);
    ASSERT_EQ(uses.at(source).size(), 1u);
    EXPECT_DOUBLE_EQ(uses.at(source)[0].opacity, 0.47);
    request.minimumBytes = 0;
    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].format, "PNG");
    const std::string part = TargetOf(slidePart, rel);
    const auto bytes = Pkg().PartBytes(part);
#ifdef _WIN32
    // The Windows libvips carries an older libimagequant (2.4), whose palettes here cost a few
    // per cent more than those of Debian's (2.17).
    EXPECT_LT(bytes.size(), png.size() * 3 / 4);
#else
    EXPECT_LT(bytes.size(), png.size() * 7 / 10);
#endif
    const office::imaging::Raster back =
        office::imaging::RenderPicture(bytes, {}, false, false, photo.width, photo.height);
    EXPECT_EQ(back.rgba[3], 0); // still clear at the corner, and semi-transparent on the way in
    EXPECT_NEAR(back.rgba[(static_cast<std::size_t>(200) * photo.width + 90) * 4 + 3], 128, 3);
    const auto shown = office::imaging::detail::ShownReference(photo.rgba, photo.width, photo.height, 0.47)
                           .Compare(back.rgba);
    EXPECT_GE(shown.luma, office::imaging::detail::kPngPaletteTargetLuma);
    EXPECT_GE(shown.chroma, office::imaging::detail::kPngPaletteTargetChroma);
    const auto declared = office::deckpictures::ReadDensity(bytes, PictureKind::Png);
    ASSERT_TRUE(declared); // the tile keeps its size on the slide
    EXPECT_EQ(declared->xPerMetre, office::deckpictures::ReadDensity(png, PictureKind::Png)->xPerMetre);
}

TEST_F(DeckPictures, NotesPictureIsLoggedAsNotes) {
    const std::string notes = "/ppt/notesSlides/notesSlide1.xml";
    Pkg().AddPart(notes, kNotesSlideContent, {});
    const std::string xml =
        std::string("<p:notes xmlns:p=\"") + office::model::kNsP + "\" xmlns:a=\"" + office::model::kNsA +
        "\" xmlns:r=\"" + office::model::kNsR +
        "\"><p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/><p:cNvGrpSpPr/><p:nvPr/>"
        "</p:nvGrpSpPr><p:grpSpPr/></p:spTree></p:cSld></p:notes>";
    Pkg().SetPartBytes(notes, std::vector<std::uint8_t>(xml.begin(), xml.end()));
    Pkg().AddRelationship(slidePart, kNotesSlideType, notes);
    const std::string rel = AddImage(notes, office::imaging::EncodeJpeg(Photo(2000, 1500)), "jpeg");
    Inject(notes, Pic(5, "Picture 4", rel, 4, 3));
    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].place, DeckPicturePlace::Notes);
    EXPECT_NEAR(SizeOf(TargetOf(notes, rel)).width, 4 * 96 * 1.4, 1);
}

TEST_F(DeckPictures, DiagramPictureIsSizedByItsDrawingItsDataFollows) {
    const std::string dsp = "http://schemas.microsoft.com/office/drawing/2008/diagram";
    const std::string dgm = "http://schemas.openxmlformats.org/drawingml/2006/diagram";
    const std::string drawing = "/ppt/diagrams/drawing1.xml", data = "/ppt/diagrams/data1.xml";
    Pkg().AddPart(drawing, "application/vnd.ms-office.drawingml.diagramDrawing+xml", {});
    Pkg().AddPart(data, "application/vnd.openxmlformats-officedocument.drawingml.diagramData+xml", {});
    Pkg().AddRelationship(slidePart, "http://schemas.microsoft.com/office/2007/relationships/diagramDrawing",
                          drawing);
    Pkg().AddRelationship(
        slidePart, "http://schemas.openxmlformats.org/officeDocument/2006/relationships/diagramData", data);
    std::string part;
    const std::string drawingRel =
        AddImage(drawing, office::imaging::EncodeJpeg(Photo(2000, 2000)), "jpeg", &part);
    const std::string dataRel = Pkg().AddRelationship(data, pkgns::reltype::kImage, part);
    const std::string ns =
        std::string(" xmlns:a=\"") + office::model::kNsA + "\" xmlns:r=\"" + office::model::kNsR + "\"";
    const std::string drawingXml =
        "<dsp:drawing xmlns:dsp=\"" + dsp + "\"" + ns +
        "><dsp:spTree><dsp:sp modelId=\"{1}\"><dsp:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/>"
        "<a:ext cx=\"914400\" cy=\"914400\"/></a:xfrm><a:blipFill><a:blip r:embed=\"" +
        drawingRel +
        "\"/><a:stretch><a:fillRect/></a:stretch></a:blipFill></dsp:spPr>"
        "</dsp:sp></dsp:spTree></dsp:drawing>";
    const std::string dataXml =
        "<dgm:dataModel xmlns:dgm=\"" + dgm + "\"" + ns +
        "><dgm:ptLst><dgm:pt modelId=\"{1}\"><dgm:spPr><a:blipFill><a:blip r:embed=\"" + dataRel +
        "\"/><a:stretch><a:fillRect/></a:stretch></a:blipFill></dgm:spPr></dgm:pt>"
        "</dgm:ptLst></dgm:dataModel>";
    Pkg().SetPartBytes(drawing, std::vector<std::uint8_t>(drawingXml.begin(), drawingXml.end()));
    Pkg().SetPartBytes(data, std::vector<std::uint8_t>(dataXml.begin(), dataXml.end()));
    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].place, DeckPicturePlace::Fill);
    EXPECT_NEAR(SizeOf(part).width, 134, 1);
    EXPECT_EQ(TargetOf(data, dataRel), part);
}

TEST_F(DeckPictures, SvgStaysAndItsPngFallbackIsCompressed) {
    std::string svgPart;
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"/>";
    const std::string svgRel =
        AddImage(layoutPart, std::vector<std::uint8_t>(svg.begin(), svg.end()), "svg", &svgPart);
    const std::string pngRel = AddImage(layoutPart, office::imaging::EncodePng(Photo(1600, 800)), "png");
    Inject(layoutPart,
           Pic(40, "Graphic 3", pngRel, 2, 1,
               std::string("<a:extLst><a:ext uri=\"") + kSvgBlip +
                   "\"><asvg:svgBlip xmlns:asvg=\"http://schemas.microsoft.com/office/drawing/2016/SVG/"
                   "main\" r:embed=\"" +
                   svgRel + "\"/></a:ext></a:extLst>"));
    request.isDefaultPictureName = [](const std::string&, bool) { return true; };
    request.minimumBytes = 0;
    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].place, DeckPicturePlace::Layout);
    EXPECT_EQ(TargetOf(layoutPart, svgRel), svgPart);
    const auto svgBytes = Pkg().PartBytes(svgPart);
    EXPECT_EQ(std::string(svgBytes.begin(), svgBytes.end()), svg);
    EXPECT_NEAR(SizeOf(TargetOf(layoutPart, pngRel)).width, 269, 1);
}

// The walk leaves a slide picture with an SVG alternative to this pass, which keeps the SVG.
TEST_F(DeckPictures, SlidePictureWithAnSvgHasItsFallbackCompressedHere) {
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"/>";
    const std::string svgRel = AddImage(slidePart, std::vector<std::uint8_t>(svg.begin(), svg.end()), "svg");
    const std::string pngRel = AddImage(slidePart, office::imaging::EncodePng(Photo(1600, 800)), "png");
    const std::string ext =
        std::string("<a:extLst><a:ext uri=\"") + kSvgBlip +
        "\"><asvg:svgBlip xmlns:asvg=\"http://schemas.microsoft.com/office/drawing/2016/SVG/"
        "main\" r:embed=\"" +
        svgRel + "\"/></a:ext></a:extLst>";
    Inject(slidePart, Pic(40, "Picture 3", pngRel, 2, 1, ext));
    // Without the SVG the picture is the walk's.
    std::string plainPart;
    const std::string plainRel =
        AddImage(slidePart, office::imaging::EncodePng(Photo(1200, 600)), "png", &plainPart);
    Inject(slidePart, Pic(41, "Picture 4", plainRel, 2, 1));
    request.minimumBytes = 0;
    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].place, DeckPicturePlace::Slide);
    EXPECT_NE(results[0].part, plainPart);
    EXPECT_NEAR(SizeOf(TargetOf(slidePart, pngRel)).width, 269, 1);
}

// An SVG's fallback is shown only by players that cannot draw the SVG: it is brought down to the
// shown size even where another picture would keep its pixels as a reduction too mild to pay, and
// the crop it shares with the SVG stays in the blip fill.
TEST_F(DeckPictures, SvgFallbackComesDownToTheShownSizeAndKeepsTheSvgAndItsCrop) {
    // PNGs as screen capture tools write them: not compressed at all.
    auto bloatedPng = [](const office::imaging::Raster& raster) {
        vips::VImage image =
            vips::VImage(vips_image_new_from_memory_copy(raster.rgba.data(), raster.rgba.size(), raster.width,
                                                         raster.height, 4, VIPS_FORMAT_UCHAR))
                .copy(vips::VImage::option()->set("interpretation", VIPS_INTERPRETATION_sRGB));
        void* data = nullptr;
        std::size_t size = 0;
        image.write_to_buffer(".png", &data, &size, vips::VImage::option()->set("compression", 0));
        std::vector<std::uint8_t> out(static_cast<std::uint8_t*>(data),
                                      static_cast<std::uint8_t*>(data) + size);
        g_free(data);
        return out;
    };
    struct Case {
        const char* name;
        double alphaLeft;   // transparent on the left, or opaque
        double cropLeft;    // a:srcRect l as a fraction
        double wide;        // pixels of the whole picture as shown at 96 dpi x 3
        PictureKind format; // what the recommended format makes of it
    };
    // 1440 of 1620 pixels is within the mild reduction; 540 is not, and would have the crop cut away.
    const Case cases[] = {{"Graphic 3", 0.3, 0, 1440, PictureKind::Png},
                          {"Graphic 4", 0, 0.2, 1440, PictureKind::Jpeg},
                          {"Graphic 5", 0, 0.2, 540, PictureKind::Jpeg}};
    request.scaleFactor = 3;
    request.minimumBytes = 0;
    request.isDefaultPictureName = [](const std::string& name, bool) {
        return name.rfind("Graphic ", 0) == 0;
    };
    struct Placed {
        std::string svgRel, svgPart, svg, pngRel;
        std::size_t bytes;
    };
    std::vector<Placed> placed;
    int id = 40;
    for (const Case& c : cases) {
        Placed p;
        p.svg =
            std::string("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"162\" height=\"122\"><title>") +
            c.name + "</title></svg>";
        p.svgRel =
            AddImage(slidePart, std::vector<std::uint8_t>(p.svg.begin(), p.svg.end()), "svg", &p.svgPart);
        office::imaging::Raster photo = Photo(1620, 1220, c.alphaLeft);
        photo.rgba[1] =
            static_cast<std::uint8_t>(id); // distinct bytes: the save stores identical pictures once
        const auto png = bloatedPng(photo);
        p.bytes = png.size();
        p.pngRel = AddImage(slidePart, png, "png");
        std::string xml =
            Pic(id++, c.name, p.pngRel, c.wide / 288 * (1 - c.cropLeft), c.wide / 288 * 1220 / 1620,
                std::string("<a:extLst><a:ext uri=\"") + kSvgBlip +
                    "\"><asvg:svgBlip xmlns:asvg=\"http://schemas.microsoft.com/office/drawing/"
                    "2016/SVG/main\" r:embed=\"" +
                    p.svgRel + "\"/></a:ext></a:extLst>");
        if (c.cropLeft > 0)
            xml.replace(xml.find("<a:stretch>"), 0,
                        "<a:srcRect l=\"" + std::to_string(std::lround(c.cropLeft * 100000)) + "\"/>");
        Inject(slidePart, xml);
        placed.push_back(p);
    }
    const auto results = Run();
    ASSERT_EQ(results.size(), 3u);
    const pugi::xml_node tree =
        Pkg().XmlForRead(slidePart).document_element().child("p:cSld").child("p:spTree");
    for (std::size_t i = 0; i < placed.size(); ++i) {
        SCOPED_TRACE(cases[i].name);
        const Placed& p = placed[i];
        const std::string fallback = TargetOf(slidePart, p.pngRel);
        EXPECT_EQ(office::imaging::SniffKind(Pkg().PartBytes(fallback)), cases[i].format);
        EXPECT_NEAR(SizeOf(fallback).width, cases[i].wide, 1);
        EXPECT_NEAR(SizeOf(fallback).height, cases[i].wide * 1220 / 1620, 1);
        EXPECT_LT(Pkg().PartBytes(fallback).size() * 3, p.bytes) << "a third or less";
        EXPECT_EQ(TargetOf(slidePart, p.svgRel), p.svgPart);
        const auto svgBytes = Pkg().PartBytes(p.svgPart);
        EXPECT_EQ(std::string(svgBytes.begin(), svgBytes.end()), p.svg);
        // The blip still names both, and the crop that applies to the SVG is where it was.
        pugi::xml_node blipFill;
        for (pugi::xml_node shape : tree.children("p:pic"))
            if (std::string(shape.child("p:nvPicPr").child("p:cNvPr").attribute("name").value()) ==
                cases[i].name)
                blipFill = shape.child("p:blipFill");
        ASSERT_TRUE(blipFill);
        EXPECT_EQ(std::string(blipFill.child("a:blip").attribute("r:embed").value()), p.pngRel);
        EXPECT_EQ(std::string(blipFill.child("a:blip")
                                  .child("a:extLst")
                                  .child("a:ext")
                                  .child("asvg:svgBlip")
                                  .attribute("r:embed")
                                  .value()),
                  p.svgRel);
        EXPECT_EQ(blipFill.child("a:srcRect").attribute("l").as_int(),
                  std::lround(cases[i].cropLeft * 100000));
    }
}

// Resampled, a flat graphic of hard edges gains in-between colours that cost more than the pixels
// saved: its fallback keeps its own pixels when they come out smaller.
TEST_F(DeckPictures, FlatSvgFallbackKeepsItsOwnPixelsWhenTheyComeOutSmaller) {
    office::imaging::Raster stripes;
    stripes.width = 1620;
    stripes.height = 1220;
    stripes.rgba.resize(std::size_t(stripes.width) * stripes.height * 4);
    for (int y = 0; y < stripes.height; ++y)
        for (int x = 0; x < stripes.width; ++x) {
            auto* p = &stripes.rgba[(std::size_t(y) * stripes.width + x) * 4];
            const bool ink = (x / 3 + y / 5) % 2 == 0;
            p[0] = ink ? 20 : 250;
            p[1] = ink ? 60 : 250;
            p[2] = ink ? 140 : 250;
            p[3] = x < 200 ? 0 : 255;
        }
    const std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"162\" height=\"122\"/>";
    const std::string svgRel = AddImage(slidePart, std::vector<std::uint8_t>(svg.begin(), svg.end()), "svg");
    const std::string pngRel = AddImage(slidePart, office::imaging::EncodePng(stripes), "png");
    Inject(slidePart,
           Pic(40, "Picture 3", pngRel, 1440.0 / 288, 1440.0 / 288 * 1220 / 1620,
               std::string("<a:extLst><a:ext uri=\"") + kSvgBlip +
                   "\"><asvg:svgBlip xmlns:asvg=\"http://schemas.microsoft.com/office/drawing/2016/"
                   "SVG/main\" r:embed=\"" +
                   svgRel + "\"/></a:ext></a:extLst>"));
    request.scaleFactor = 3;
    request.minimumBytes = 0;
    request.expectRate = 101;
    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].width, 1620);
    EXPECT_EQ(SizeOf(TargetOf(slidePart, pngRel)).width, 1620);
    // What the shown size would have cost.
    office::imaging::Raster shown =
        office::imaging::RenderPicture(office::imaging::EncodePng(stripes), {}, false, false, 1440, 1084);
    EXPECT_LT(results[0].bytesAfter, office::imaging::EncodePng(shown).size());
}

TEST_F(DeckPictures, PictureOnASlideAndALayoutKeepsWhatTheLargerPlaceShows) {
    std::string part;
    const std::string rel =
        AddImage(layoutPart, office::imaging::EncodeJpeg(Photo(3000, 1500)), "jpeg", &part);
    Inject(layoutPart, Pic(40, "Picture 3", rel, 2, 1));
    // The slide shows the same picture at 8 x 4 in, under a name the walk would have replaced but
    // (below its limits, say) did not.
    const std::string slideRel = Pkg().AddRelationship(slidePart, pkgns::reltype::kImage, part);
    Inject(slidePart, Pic(41, "Picture 40", slideRel, 8, 4));
    ASSERT_EQ(Run().size(), 1u);
    EXPECT_NEAR(SizeOf(part).width, 8 * 96 * 1.4, 1);
}

TEST_F(DeckPictures, PicturesLeftAlone) {
    // A protected name on the slide protects the layout's background too.
    std::string named;
    const auto photo = office::imaging::EncodeJpeg(Photo(3000, 1500));
    const std::string rel = AddImage(layoutPart, photo, "jpeg", &named);
    Inject(layoutPart, Background(rel), true);
    Inject(slidePart,
           Pic(41, "Company logo", Pkg().AddRelationship(slidePart, pkgns::reltype::kImage, named), 2, 1));
    // Only on slides' picture shapes: the walk's pictures.
    std::string walkOnly;
    // Distinct bytes for each case: the save stores identical pictures once.
    Inject(slidePart,
           Pic(42, "Picture 41",
               AddImage(slidePart, office::imaging::EncodeJpeg(Photo(3000, 1502)), "jpeg", &walkOnly), 1, 1));
    // Transparency in a JPEG the person asked for.
    std::string transparent;
    Inject(masterPart,
           Pic(43, "Picture 42",
               AddImage(masterPart, office::imaging::EncodePng(Photo(1200, 600, 0.5)), "png", &transparent),
               1, 0.5));
    // Below the minimum stored size.
    std::string small;
    Inject(masterPart,
           Pic(44, "Picture 43",
               AddImage(masterPart, office::imaging::EncodeJpeg(Photo(200, 100)), "jpeg", &small), 1, 0.5));
    // Also the preview of an object drawn through a VML part the pass does not read.
    std::string shared;
    const std::string fillRel =
        AddImage(slidePart, office::imaging::EncodeJpeg(Photo(3000, 1504)), "jpeg", &shared);
    Inject(slidePart, FilledShape(45, fillRel, 1, 1, "<a:stretch><a:fillRect/></a:stretch>"));
    const std::string vml = "/ppt/drawings/vmlDrawing1.vml";
    Pkg().AddPart(vml, "application/vnd.openxmlformats-officedocument.vmlDrawing", {'<', 'x', '/', '>'});
    Pkg().AddRelationship(slidePart, pkgns::reltype::kVmlDrawing, vml);
    Pkg().AddRelationship(vml, pkgns::reltype::kImage, shared);

    request.format = 1; // JPEG
    const std::vector<std::string> parts = {named, walkOnly, transparent, small, shared};
    std::vector<std::vector<std::uint8_t>> before;
    for (const auto& p : parts)
        before.push_back(Pkg().PartBytes(p));
    EXPECT_TRUE(Run().empty());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        ASSERT_TRUE(Pkg().HasPart(parts[i])) << parts[i];
        EXPECT_FALSE(Pkg().IsPartModified(parts[i])) << parts[i];
    }
    // With the recommended format the transparent picture is kept as a PNG.
    request.format = 0;
    const auto results = Run();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].format, "PNG");
    EXPECT_EQ(results[0].part, transparent);
}

// A movie's poster frame is shown in the movie's box until it plays; the movie itself stays as it is.
TEST_F(DeckPictures, MoviePosterFrameIsSizedToTheMoviesBox) {
    std::string poster;
    const std::string posterRel =
        AddImage(slidePart, office::imaging::EncodePng(Photo(1578, 888)), "png", &poster);
    const std::string movie = "/ppt/media/media1.mp4";
    Pkg().AddPart(movie, "video/mp4", std::vector<std::uint8_t>(4096, 7));
    const std::string movieRel = Pkg().AddRelationship(slidePart, pkgns::reltype::kVideo, movie);
    std::string pic = Pic(46, "Clip of the launch", posterRel, 4, 2.25);
    pic.replace(pic.find("<p:nvPr/>"), 9, "<p:nvPr><a:videoFile r:link=\"" + movieRel + "\"/></p:nvPr>");
    Inject(slidePart, pic);
    const auto movieBytes = Pkg().PartBytes(movie);

    const auto results = Run();

    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].place, DeckPicturePlace::MediaPoster);
    EXPECT_EQ(results[0].format, "JPEG");
    const auto shown = SizeOf(TargetOf(slidePart, posterRel));
    EXPECT_NEAR(shown.width, 4 * 96 * 1.4, 1);
    EXPECT_NEAR(shown.height, 2.25 * 96 * 1.4, 1);
    EXPECT_EQ(Pkg().PartBytes(movie), movieBytes);
    EXPECT_LT(results[0].bytesAfter, results[0].bytesBefore / 4);
}

TEST_F(DeckPictures, ANewPictureNotSmallEnoughIsNotKept) {
    std::string part;
    const auto jpeg = office::imaging::EncodeJpeg(Photo(1000, 500));
    const std::string rel = AddImage(slidePart, jpeg, "jpeg", &part);
    Inject(slidePart, FilledShape(20, rel, 8, 4, "<a:stretch><a:fillRect/></a:stretch>"));
    request.minimumBytes = 0;
    request.expectRate = 95; // the same pixels re-encoded at the same quality come out about as large
    EXPECT_TRUE(Run().empty());
    EXPECT_FALSE(Pkg().IsPartModified(part));
    // Only the rate stood in the way.
    request.expectRate = 200;
    EXPECT_EQ(Run().size(), 1u);
}

TEST(PictureDensity, JfifAndPhysRoundTrip) {
    using office::deckpictures::Density;
    for (const PictureKind kind : {PictureKind::Jpeg, PictureKind::Png}) {
        const auto raster = Photo(16, 16);
        auto bytes = kind == PictureKind::Jpeg ? office::imaging::EncodeJpeg(raster)
                                               : office::imaging::EncodePng(raster);
        ASSERT_TRUE(office::deckpictures::WriteDensity(bytes, kind, Density{5669, 5669})); // 144 dpi
        auto read = office::deckpictures::ReadDensity(bytes, kind);
        ASSERT_TRUE(read);
        EXPECT_NEAR(read->xPerMetre * 0.0254, 144, 0.05);
        ASSERT_TRUE(office::deckpictures::WriteDensity(bytes, kind, std::nullopt));
        EXPECT_FALSE(office::deckpictures::ReadDensity(bytes, kind));
        EXPECT_EQ(office::imaging::MeasurePicture(bytes).width, 16);
    }
}

} // namespace
