// The features through the presentation model on real decks: a shape replaced by a pasted copy keeps
// its effects, actions and connector ends, and the saved deck reads back the same.

#include "features/TransferHelper.h"
#include "office/OfficeProvider.h"

#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <set>
#include <zip.h>

using namespace features_test;

namespace {

std::string Deck(const char* name) {
    return std::string(QUARNEL_CORPUS) + "/" + name;
}

struct Seen {
    std::string shape;
    int type, trigger;
    double duration;
    bool exit;
};

std::vector<Seen> Snapshot(automation::ISequence& sequence) {
    std::vector<Seen> out;
    for (int i = 1; i <= sequence.Count(); ++i) {
        auto effect = sequence.Item(i);
        out.push_back({effect->Shape()->Name(), effect->EffectType(), effect->Timing()->TriggerType(),
                       effect->Timing()->Duration(), effect->Exit()});
    }
    return out;
}

void ExpectSame(const std::vector<Seen>& a, const std::vector<Seen>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].shape, b[i].shape) << i;
        EXPECT_EQ(a[i].type, b[i].type) << i;
        EXPECT_EQ(a[i].trigger, b[i].trigger) << i;
        EXPECT_NEAR(a[i].duration, b[i].duration, 1e-6) << i;
        EXPECT_EQ(a[i].exit, b[i].exit) << i;
    }
}

std::string ReadEntry(zip_t* archive, const std::string& name) {
    zip_stat_t stat;
    if (zip_stat(archive, name.c_str(), 0, &stat) != 0)
        return "";
    std::string data(static_cast<std::size_t>(stat.size), '\0');
    zip_file_t* file = zip_fopen(archive, name.c_str(), 0);
    if (!file)
        return "";
    zip_fread(file, data.data(), stat.size);
    zip_fclose(file);
    return data;
}

void Collect(pugi::xml_node node, const char* element, const char* attr, std::vector<std::string>& out) {
    for (pugi::xpath_node found : node.select_nodes((std::string("//") + element).c_str()))
        out.push_back(found.node().attribute(attr).value());
}

// What makes the office application ask for a repair: a timing, build or glue reference to a shape the
// slide does not have, duplicate time node ids, or an r:* value without a relationship.
void ExpectReferencesResolve(const std::string& path) {
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &error);
    ASSERT_TRUE(archive);
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        std::string name = zip_get_name(archive, static_cast<zip_uint64_t>(i), 0);
        if (name.rfind("ppt/slides/slide", 0) != 0 || name.find("_rels") != std::string::npos)
            continue;
        SCOPED_TRACE(name);
        pugi::xml_document slide, rels;
        ASSERT_TRUE(slide.load_string(ReadEntry(archive, name).c_str()));
        std::string relsName = "ppt/slides/_rels/" + name.substr(11) + ".rels";
        rels.load_string(ReadEntry(archive, relsName).c_str());
        std::set<std::string> shapeIds, relIds, timeIds;
        std::vector<std::string> ids;
        Collect(slide, "p:cNvPr", "id", ids);
        shapeIds.insert(ids.begin(), ids.end());
        for (pugi::xml_node rel : rels.child("Relationships").children("Relationship"))
            relIds.insert(rel.attribute("Id").value());
        std::vector<std::string> refs;
        Collect(slide, "p:spTgt", "spid", refs);
        Collect(slide, "p:bldP", "spid", refs);
        Collect(slide, "a:stCxn", "id", refs);
        Collect(slide, "a:endCxn", "id", refs);
        for (const std::string& ref : refs)
            EXPECT_TRUE(shapeIds.count(ref)) << "dangling shape reference " << ref;
        std::vector<std::string> times;
        Collect(slide, "p:cTn", "id", times);
        for (const std::string& id : times)
            EXPECT_TRUE(timeIds.insert(id).second) << "duplicate time node " << id;
        for (pugi::xpath_node attr : slide.select_nodes("//@*")) {
            const char* attrName = attr.attribute().name();
            if (std::strncmp(attrName, "r:", 2) == 0 && *attr.attribute().value()) {
                EXPECT_TRUE(relIds.count(attr.attribute().value()))
                    << attrName << "=" << attr.attribute().value();
            }
        }
    }
    zip_close(archive);
}

class TempFolder {
public:
    TempFolder() {
        path_ = std::filesystem::temp_directory_path() / ("quarnel-features-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path_);
    }
    ~TempFolder() { std::filesystem::remove_all(path_); }
    std::string File(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

TEST(DeckFeatures, ReplacedShapesKeepEffectsActionsAndGlue) {
    const char* names[] = {"poi__stress013.pptx", "oxmlsdk__animation.pptx",
                           "aspose-net__PresentationDemo.pptx"};
    TempFolder temp;
    int decks = 0, replaced = 0;
    for (const char* name : names) {
        if (!std::filesystem::exists(Deck(name)))
            continue;
        ++decks;
        SCOPED_TRACE(name);
        office::OfficeProvider provider;
        auto app = provider.CreatePowerPoint();
        auto pres = app->Presentations()->Open(Deck(name), true);
        std::vector<std::vector<Seen>> expected;
        for (int s = 1; s <= pres->Slides()->Count(); ++s) {
            auto slide = pres->Slides()->Item(s);
            auto sequence = slide->TimeLine()->MainSequence();
            if (sequence->Count() == 0) {
                expected.emplace_back();
                continue;
            }
            auto old = sequence->Item(1)->Shape();
            if (old->Type() == automation::msoGroup || old->Type() == automation::msoPlaceholder) {
                expected.push_back(Snapshot(*sequence));
                continue;
            }
            std::vector<Seen> before = Snapshot(*sequence);
            std::string oldName = old->Name();
            old->Copy();
            auto pasted = slide->Shapes()->Paste()->Item(1);
            TransferEffects(*slide->TimeLine(), *old, pasted);
            for (int index : {1, 2})
                Attempt(
                    [&] { CopyActionSetting(*old->ActionSettings(index), *pasted->ActionSettings(index)); });
            ReattachConnectors(*slide->Shapes(), *old, pasted);
            old->Delete();
            for (Seen& seen : before)
                if (seen.shape == oldName)
                    seen.shape = pasted->Name();
            std::vector<Seen> after = Snapshot(*slide->TimeLine()->MainSequence());
            ExpectSame(after, before);
            expected.push_back(after);
            ++replaced;
        }
        std::string saved = temp.File(std::string("out-") + name);
        pres->SaveAs(saved);
        pres->Close();
        ExpectReferencesResolve(saved);
        auto reopened = app->Presentations()->Open(saved, true);
        ASSERT_EQ(reopened->Slides()->Count(), static_cast<int>(expected.size()));
        for (int s = 1; s <= reopened->Slides()->Count(); ++s) {
            SCOPED_TRACE(s);
            ExpectSame(Snapshot(*reopened->Slides()->Item(s)->TimeLine()->MainSequence()),
                       expected[static_cast<std::size_t>(s - 1)]);
        }
        reopened->Close();
        app->Quit();
    }
    if (decks == 0)
        GTEST_SKIP() << "corpus not found";
    // Effects of placeholders and groups stay where they are; the decks have others.
    EXPECT_GT(replaced, 3);
}

TEST(DeckFeatures, EmbeddedObjectsReportTheirProgram) {
    const char* names[] = {"aspose-net__OlePptx.pptx", "poi__bug62513.pptx", "tika__testWPSAttachment.pptx"};
    int decks = 0;
    for (const char* name : names) {
        if (!std::filesystem::exists(Deck(name)))
            continue;
        ++decks;
        SCOPED_TRACE(name);
        office::OfficeProvider provider;
        auto app = provider.CreatePowerPoint();
        auto pres = app->Presentations()->Open(Deck(name), true);
        int objects = 0;
        for (int s = 1; s <= pres->Slides()->Count(); ++s) {
            auto shapes = pres->Slides()->Item(s)->Shapes();
            for (int i = 1; i <= shapes->Count(); ++i) {
                auto shape = shapes->Item(i);
                int type = shape->Type();
                if (type != automation::msoEmbeddedOLEObject && type != automation::msoLinkedOLEObject)
                    continue;
                ++objects;
                EXPECT_FALSE(shape->OLEFormat()->ProgID().empty()) << shape->Name();
            }
        }
        EXPECT_GT(objects, 0);
        pres->Close();
        app->Quit();
    }
    if (decks == 0)
        GTEST_SKIP() << "corpus not found";
}

} // namespace
