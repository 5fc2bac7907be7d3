// Decks written after shapes were added, pasted, grouped, ungrouped and deleted pass the checks that
// keep an office application from offering to repair them.

#include "OfficeTestSupport.h"
#include "automation/Constants.h"
#include "office/imaging/Imaging.h"
#include "office/package/Package.h"

#include <cstring>
#include <gtest/gtest.h>
#include <set>

using namespace officetest;
namespace package = office::package;

namespace {

void ExpectPackageConsistent(const std::string& path) {
    auto pkg = package::Package::Open(path);
    for (const auto& part : pkg->LiveParts()) {
        EXPECT_FALSE(pkg->ContentType(part).empty()) << part << " has no content type";
        std::set<std::string> relIds;
        for (const auto& rel : pkg->Relationships(part)) {
            EXPECT_TRUE(relIds.insert(rel.id).second) << "duplicate relationship id in " << part;
            if (!rel.external) {
                EXPECT_TRUE(pkg->HasPart(rel.targetPart)) << part << " -> " << rel.target;
            }
        }
        if (part.find("/ppt/slides/slide") != 0)
            continue;
        const auto& doc = pkg->XmlForRead(part);
        std::set<unsigned> ids;
        for (pugi::xpath_node n : doc.select_nodes("//p:cNvPr")) {
            unsigned id = n.node().attribute("id").as_uint();
            bool fallback = std::strcmp(n.node().parent().parent().parent().name(), "mc:Fallback") == 0;
            if (id != 0 && !fallback) {
                EXPECT_TRUE(ids.insert(id).second) << "duplicate shape id " << id << " in " << part;
            }
        }
        for (pugi::xpath_node n : doc.select_nodes("//*")) {
            for (pugi::xml_attribute a : n.node().attributes())
                if (std::strncmp(a.name(), "r:", 2) == 0 && *a.value()) {
                    EXPECT_TRUE(pkg->FindRelationship(part, a.value()))
                        << a.name() << "=" << a.value() << " in " << part;
                }
        }
    }
}

} // namespace

TEST(OfficeSavedDecks, EditedDecksKeepReferencesIdsAndContentTypesConsistent) {
    TempDir dir;
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    auto pres = app->Presentations()->Add(true);
    auto slide = pres->Slides()->Add(1, automation::ppLayoutBlank);
    auto shapes = slide->Shapes();
    office::imaging::Raster r;
    r.width = 24;
    r.height = 24;
    r.rgba.assign(24 * 24 * 4, 128);
    WriteBytes(dir.File("a.png"), office::imaging::EncodePng(r));
    auto pic = shapes->AddPicture(dir.File("a.png"), 10, 10, 18, 18);
    auto rect = shapes->AddShape(automation::msoShapeRectangle, 40, 40, 20, 20);
    pic->Copy();
    auto jpeg = shapes->PasteSpecial(automation::ppPasteJPG)->Item(1);
    auto plain = shapes->Paste()->Item(1);
    pic->Delete();
    jpeg->Select();
    rect->Select(false);
    auto group = pres->Windows(1)->Selection()->ShapeRange()->Group();
    group->Copy();
    shapes->Paste();
    plain->Delete();
    group->Ungroup();
    auto other = pres->Slides()->Add(2, automation::ppLayoutBlank);
    other->Shapes()->Paste();
    pres->Slides()->Add(3, automation::ppLayoutBlank);
    pres->Slides()->Delete(3);
    pres->SaveAs(dir.File("edited.pptx"));
    ExpectPackageConsistent(dir.File("edited.pptx"));

    const std::string corpus = CorpusDeck("aspose-net__OlePptx.pptx");
    if (corpus.empty())
        return;
    auto objects = app->Presentations()->Open(corpus, true);
    auto first = objects->Slides()->Item(1)->Shapes();
    for (int k = first->Count(); k >= 1; --k) {
        auto s = first->Item(k);
        s->Copy();
        first->Paste();
        s->Delete();
    }
    objects->SaveAs(dir.File("objects.pptx"));
    ExpectPackageConsistent(dir.File("objects.pptx"));
}
