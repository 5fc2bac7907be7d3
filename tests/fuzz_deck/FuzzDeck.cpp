// Any bytes as a deck: opened through the object model, every slide walked the way the engine
// walks it (shapes, the members of groups, pictures, the main sequence with its behaviours and
// timing, action settings, connectors, the older animation settings), edited a little and saved.
// Members may refuse with AutomationError; any other exception or a crash is a finding, and so is a
// saved deck that does not open again with the same slides and shapes.

#include "FuzzSeedRunner.h"
#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "automation/EmbeddedMedia.h"
#include "automation/PictureSharing.h"
#include "office/clipboard/EngineClipboard.h"
#include "office/model/ModelImpl.h"
#include "office/package/Package.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

#ifdef QUARNEL_LIBFUZZER
#include "PartMutator.h"
#endif

namespace {

namespace fs = std::filesystem;
using automation::AutomationError;

// Small enough that one input stays in the milliseconds, large enough for every seed.
constexpr int kMaxSlides = 16;
constexpr int kMaxShapes = 64;
constexpr int kMaxEffects = 32;
constexpr int kMaxBehaviors = 8;

office::package::OpenLimits SmallLimits() {
    office::package::OpenLimits limits;
    limits.maxEntries = 512;
    limits.maxPartBytes = 4u << 20;
    limits.maxTotalBytes = 16u << 20;
    limits.ratioFloorBytes = 1u << 20;
    return limits;
}

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

// Runs one member; refusing is an answer, anything else thrown is a finding.
template <typename Step> void Try(Step&& step) {
    try {
        step();
    } catch (const AutomationError&) {
    }
}

// Where the saved decks go: a folder of this process, in memory when the system offers one.
class ScratchFolder {
public:
    ScratchFolder() {
        std::error_code ec;
        const fs::path base =
            fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
        path_ = base / ("quarnel-fuzz-deck-" + std::to_string(getpid()));
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string File(const char* name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

// The application's shared state with the one presentation open in it. Like the application, it
// lets go of its presentations when it goes: they hold the state, which holds them.
struct Opened {
    Opened() = default;
    Opened(Opened&&) = default;
    Opened& operator=(Opened&&) = default;
    ~Opened() {
        if (app)
            app->presentations.clear();
    }
    std::shared_ptr<office::model::AppCore> app;
    std::shared_ptr<office::model::PresentationImpl> presentation;
};

// What Presentations.Open does once the package is read, without the file.
Opened OpenDeckBytes(office::EngineClipboard& clipboard, office::package::Bytes bytes) {
    Opened opened;
    opened.app = std::make_shared<office::model::AppCore>("12.0", clipboard);
    auto pkg = office::package::Package::OpenFromBytes(std::move(bytes), "Presentations.Open", SmallLimits());
    opened.presentation =
        std::make_shared<office::model::PresentationImpl>(opened.app, std::move(pkg), "", false);
    opened.presentation->LoadSlides();
    opened.app->presentations.push_back(opened.presentation);
    opened.app->active = opened.presentation;
    return opened;
}

void WalkLinks(automation::IShape& shape) {
    for (int activation : {automation::ppMouseClick, automation::ppMouseOver}) {
        Try([&] {
            auto action = shape.ActionSettings(activation);
            const int kind = action->Action();
            Try([&] { action->AnimateAction(); });
            Try([&] { action->Run(); });
            Try([&] { action->SlideShowName(); });
            Try([&] {
                auto link = action->Hyperlink();
                link->Address();
                link->SubAddress();
                link->ScreenTip();
                link->EmailSubject();
                link->TextToDisplay();
                link->ShowAndReturn();
                if (kind == automation::ppActionHyperlink)
                    link->SetScreenTip("fuzz");
            });
            Try([&] {
                auto sound = action->SoundEffect();
                sound->Name();
                sound->Type();
            });
        });
    }
    Try([&] {
        if (!shape.Connector())
            return;
        auto glue = shape.ConnectorFormat();
        if (glue->BeginConnected()) {
            Try([&] { glue->BeginConnectedShape()->Name(); });
            Try([&] { glue->BeginConnectionSite(); });
        }
        if (glue->EndConnected()) {
            Try([&] { glue->EndConnectedShape()->Name(); });
            Try([&] { glue->EndConnectionSite(); });
        }
    });
}

void WalkOldAnimation(automation::IShape& shape) {
    Try([&] {
        auto settings = shape.AnimationSettings();
        if (!settings->Animate())
            return;
        settings->AnimationOrder();
        settings->EntryEffect();
        settings->AdvanceMode();
        settings->AdvanceTime();
        settings->AfterEffect();
        settings->DimColor();
        settings->TextLevelEffect();
        settings->TextUnitEffect();
        settings->AnimateBackground();
        settings->AnimateTextInReverse();
    });
}

void WalkShape(office::model::PresentationImpl& presentation, const automation::ShapePtr& shape) {
    int type = 0;
    Try([&] {
        type = shape->Type();
        shape->Name();
        shape->Left();
        shape->Top();
        shape->Width();
        shape->Height();
        shape->Rotation();
        shape->ZOrderPosition();
        shape->PlaceholderContainedType();
    });
    Try([&] { shape->AlternativeText(); });
    Try([&] { shape->Title(); });
    Try([&] { shape->OLEFormat()->ProgID(); });
    WalkLinks(*shape);
    WalkOldAnimation(*shape);
    if (type == automation::msoPicture) {
        Try([&] {
            presentation.PictureKeptElsewhere(*shape, [](const std::string&, bool) { return true; });
        });
    }
}

void WalkTimeline(automation::ISlide& slide) {
    Try([&] {
        auto sequence = slide.TimeLine()->MainSequence();
        const int count = std::min(sequence->Count(), kMaxEffects);
        for (int i = 1; i <= count; ++i) {
            Try([&] {
                auto effect = sequence->Item(i);
                effect->EffectType();
                effect->Index();
                effect->Exit();
                Try([&] { effect->Shape()->Name(); });
                Try([&] {
                    auto p = effect->EffectParameters();
                    Try([&] { p->Amount(); });
                    Try([&] { p->Direction(); });
                    Try([&] { p->Size(); });
                    Try([&] { p->Relative(); });
                    Try([&] { p->FontName(); });
                    Try([&] { p->Color2()->RGB(); });
                });
                Try([&] {
                    auto t = effect->Timing();
                    t->Duration();
                    t->TriggerType();
                    t->TriggerDelayTime();
                    t->RepeatCount();
                    t->RepeatDuration();
                    t->Speed();
                    t->Accelerate();
                    t->Decelerate();
                    t->AutoReverse();
                    t->Restart();
                    t->RewindAtEnd();
                    t->SmoothStart();
                    t->SmoothEnd();
                    if (i == 1)
                        t->SetDuration(0.75);
                });
                Try([&] {
                    auto behaviors = effect->Behaviors();
                    const int n = std::min(behaviors->Count(), kMaxBehaviors);
                    for (int b = 1; b <= n; ++b)
                        Try([&] {
                            auto behavior = behaviors->Item(b);
                            behavior->Accumulate();
                            behavior->Additive();
                            switch (behavior->Type()) {
                            case automation::msoAnimTypeMotion: {
                                auto m = behavior->MotionEffect();
                                m->Path();
                                m->ByX();
                                m->ToY();
                                break;
                            }
                            case automation::msoAnimTypeColor: {
                                auto c = behavior->ColorEffect();
                                c->By();
                                c->From();
                                c->To();
                                break;
                            }
                            case automation::msoAnimTypeScale: {
                                auto s = behavior->ScaleEffect();
                                s->ByX();
                                s->FromY();
                                s->ToX();
                                break;
                            }
                            case automation::msoAnimTypeRotation:
                                behavior->RotationEffect()->By();
                                break;
                            case automation::msoAnimTypeProperty:
                            case automation::msoAnimTypeSet: {
                                auto p = behavior->PropertyEffect();
                                p->Property();
                                p->From();
                                p->To();
                                auto points = p->Points();
                                for (int k = 1; k <= std::min(points->Count(), 4); ++k)
                                    Try([&] {
                                        auto point = points->Item(k);
                                        point->Time();
                                        point->Value();
                                        point->Formula();
                                    });
                                break;
                            }
                            case automation::msoAnimTypeCommand: {
                                auto c = behavior->CommandEffect();
                                c->Command();
                                c->Type();
                                break;
                            }
                            default:
                                break;
                            }
                        });
                });
            });
        }
    });
}

// The engine's edits: groups taken apart and put together again, a picture copied and pasted back
// as JPEG, an effect added to a shape.
void EditSlide(office::EngineClipboard& clipboard, automation::ISlide& slide) {
    Try([&] {
        auto shapes = slide.Shapes();
        const int count = std::min(shapes->Count(), kMaxShapes);
        bool ungrouped = false, pasted = false;
        for (int k = 1; k <= count; ++k) {
            auto shape = shapes->Item(k);
            int type = 0;
            Try([&] { type = shape->Type(); });
            if (type == automation::msoGroup && !ungrouped) {
                ungrouped = true;
                Try([&] {
                    auto members = shape->Ungroup();
                    if (members->Count() >= 2)
                        members->Group()->SetName("fuzz group");
                });
            } else if (type == automation::msoPicture && !pasted) {
                pasted = true;
                Try([&] {
                    shape->Copy();
                    if (!clipboard.Contents().picture || !clipboard.Contents().look.refusal.empty())
                        return;
                    auto copy = shapes->PasteSpecial(automation::ppPasteJPG)->Item(1);
                    copy->SetLeft(shape->Left());
                    copy->SetName(shape->Name());
                    shape->Delete();
                });
            }
        }
        if (shapes->Count() >= 1)
            Try([&] { slide.TimeLine()->MainSequence()->AddEffect(shapes->Item(1), 10); });
    });
}

std::vector<int> ShapeCounts(office::model::PresentationImpl& presentation) {
    std::vector<int> counts;
    auto slides = presentation.Slides();
    for (int i = 1; i <= slides->Count(); ++i)
        counts.push_back(slides->Item(i)->Shapes()->Count());
    return counts;
}

void Exercise(const std::uint8_t* data, std::size_t size) {
    static ScratchFolder scratch;
    office::EngineClipboard clipboard;
    Opened deck;
    try {
        deck = OpenDeckBytes(clipboard, office::package::Bytes(data, data + size));
    } catch (const AutomationError&) {
        return;
    }
    office::model::PresentationImpl& presentation = *deck.presentation;
    auto slides = presentation.Slides();
    if (slides->Count() > kMaxSlides)
        return;
    for (int i = 1; i <= slides->Count(); ++i) {
        auto slide = slides->Item(i);
        Try([&] {
            auto shapes = slide->Shapes();
            const int count = std::min(shapes->Count(), kMaxShapes);
            for (int k = 1; k <= count; ++k)
                WalkShape(presentation, shapes->Item(k));
        });
        WalkTimeline(*slide);
    }
    Try([&] { presentation.TranscodableMedia(); });
    for (int i = 1; i <= slides->Count(); ++i)
        EditSlide(clipboard, *slides->Item(i));
    Try([&] { presentation.RemoveUnusedLayouts(); });

    std::vector<int> counts;
    bool counted = false;
    Try([&] {
        counts = ShapeCounts(presentation);
        counted = true;
    });
    const std::string out = scratch.File("saved.pptx");
    try {
        presentation.SaveAs(out);
    } catch (const AutomationError&) {
        return; // e.g. a part that only the save reads is damaged
    }
    std::ifstream in(out, std::ios::binary);
    office::package::Bytes saved{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    Opened again;
    try {
        again = OpenDeckBytes(clipboard, std::move(saved));
    } catch (const AutomationError& e) {
        std::fprintf(stderr, "saved deck does not open again: %s\n", e.what());
        std::abort();
    }
    if (counted)
        Require(ShapeCounts(*again.presentation) == counts, "saved deck keeps its slides and shapes");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        Exercise(data, size);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "unexpected exception: %s\n", e.what());
        std::abort();
    }
    return 0;
}
