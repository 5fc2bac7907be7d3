// Every corpus deck through the object model: members read, pictures copied and pasted back as
// JPEG, the deck saved and reopened with the same slides and shapes.

#include "OfficeTestSupport.h"
#include "automation/AutomationError.h"
#include "automation/Constants.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace officetest;

namespace {

bool IsPackageDeck(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".pptx" || ext == ".pptm" || ext == ".ppsx" || ext == ".potx";
}

} // namespace

TEST(OfficeCorpusWalk, EveryDeckReadsCopiesPastesAndSavesBack) {
    fs::path corpus(QUARNEL_CORPUS);
    if (!fs::exists(corpus))
        GTEST_SKIP() << "no corpus";
    TempDir dir;
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    int decks = 0, pasted = 0, refused = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        if (!IsPackageDeck(entry.path()))
            continue;
        const std::string name = entry.path().filename().string();
        automation::PresentationPtr pres;
        try {
            pres = app->Presentations()->Open(entry.path().string(), true);
        } catch (const automation::AutomationError& e) {
            // Damaged archives in the corpus are refused, with the member named.
            EXPECT_EQ(e.member(), "Presentations.Open") << name;
            ++refused;
            continue;
        }
        ++decks;
        std::vector<int> counts;
        for (int i = 1; i <= pres->Slides()->Count(); ++i) {
            auto shapes = pres->Slides()->Item(i)->Shapes();
            const int count = shapes->Count();
            for (int k = 1; k <= count; ++k) {
                auto s = shapes->Item(k);
                EXPECT_NO_THROW({
                    s->Name();
                    s->Type();
                    s->Left();
                    s->Top();
                    s->Width();
                    s->Height();
                    s->Rotation();
                    EXPECT_GE(s->ZOrderPosition(), k);
                }) << name;
                if (s->Type() != automation::msoPicture)
                    continue;
                s->Copy();
                if (!provider.Engine().Contents().picture)
                    continue;
                if (!provider.Engine().Contents().look.refusal.empty()) {
                    // A look a picture cannot carry (a tile, an SVG alternative) refuses the paste.
                    EXPECT_THROW(shapes->PasteSpecial(automation::ppPasteJPG), automation::AutomationError)
                        << name;
                    continue;
                }
                auto copy = shapes->PasteSpecial(automation::ppPasteJPG)->Item(1);
                ++pasted;
                copy->SetLeft(s->Left());
                copy->Delete();
            }
            counts.push_back(shapes->Count());
        }
        const std::string out = dir.File("out.pptx");
        EXPECT_NO_THROW(pres->SaveAs(out)) << name;
        pres->Close();
        auto again = app->Presentations()->Open(out, true);
        ASSERT_EQ(again->Slides()->Count(), static_cast<int>(counts.size())) << name;
        for (int i = 1; i <= again->Slides()->Count(); ++i)
            EXPECT_EQ(again->Slides()->Item(i)->Shapes()->Count(), counts[static_cast<std::size_t>(i - 1)])
                << name;
        again->Close();
    }
    EXPECT_GT(decks, 10);
    EXPECT_LT(refused, decks / 10 + 1);
    EXPECT_GT(pasted, 10);
}
