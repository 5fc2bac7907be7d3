#include "OfficeTestSupport.h"
#include "automation/AutomationError.h"
#include "automation/Constants.h"
#include "office/package/Package.h"

#include <gtest/gtest.h>

using automation::AutomationError;
using namespace officetest;

TEST(OfficeApplication, ProviderAttachesOnlyToALiveApplication) {
    office::OfficeProvider provider("9.0");
    EXPECT_EQ(provider.GetActivePowerPoint(), nullptr);
    auto app = provider.CreatePowerPoint();
    ASSERT_TRUE(app);
    EXPECT_EQ(provider.GetActivePowerPoint(), app);
    EXPECT_EQ(app->Version(), "9.0");
    EXPECT_FALSE(app->Name().empty());
    EXPECT_EQ(provider.CreatePowerPoint(), app) << "a second create reaches the one running instance";

    app->Presentations()->Add(true);
    EXPECT_EQ(app->Presentations()->Count(), 1);
    app->Quit();
    EXPECT_EQ(provider.GetActivePowerPoint(), nullptr);
    EXPECT_THROW(app->Name(), AutomationError);
    EXPECT_THROW(app->Presentations(), AutomationError);
    auto fresh = provider.CreatePowerPoint();
    EXPECT_NE(fresh, app);
    EXPECT_EQ(fresh->Presentations()->Count(), 0);
    EXPECT_EQ(office::OfficeProvider().CreatePowerPoint()->Version(), "12.0");
}

TEST(OfficeApplication, WindowsPanesCommandBarsAndStateMembers) {
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    app->SetWindowState(automation::ppWindowMinimized);
    EXPECT_EQ(app->WindowState(), automation::ppWindowMinimized);
    EXPECT_THROW(app->SetWindowState(42), AutomationError);
    app->SetVisible(false);
    EXPECT_FALSE(app->Visible());

    auto pres = app->Presentations()->Add(true);
    auto window = pres->Windows(1);
    EXPECT_THROW(pres->Windows(2), AutomationError);
    window->SetViewType(automation::ppViewNormal);
    EXPECT_EQ(window->ViewType(), automation::ppViewNormal);
    EXPECT_EQ(window->Panes(1)->ViewType(), automation::ppViewOutline);

    // The thumbnails command switches the active window's left pane; deleting the control is harmless.
    auto control = app->CommandBars()->Item("Standard")->Controls()->Add(6015);
    window->Activate();
    control->Execute();
    EXPECT_EQ(window->Panes(1)->ViewType(), automation::ppViewThumbnails);
    control->Delete();
    EXPECT_THROW(control->Execute(), AutomationError);
    EXPECT_THROW(app->CommandBars()->Item("NoSuchBar"), AutomationError);
    EXPECT_THROW(app->Presentations()->Add(false)->Windows(1), AutomationError) << "added without a window";
}

TEST(OfficeApplication, ClosedPresentationAndDeletedSlideMembersThrowNamingTheMember) {
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    auto pres = app->Presentations()->Add(true);
    auto slide = pres->Slides()->Add(1, automation::ppLayoutBlank);
    EXPECT_THROW(pres->Slides()->Add(1, 1), AutomationError) << "only the blank layout exists";
    EXPECT_THROW(pres->Slides()->Add(3, automation::ppLayoutBlank), AutomationError);
    auto second = pres->Slides()->Add(1, automation::ppLayoutBlank);
    EXPECT_EQ(second->SlideIndex(), 1);
    EXPECT_EQ(slide->SlideIndex(), 2);
    pres->Slides()->Delete(1);
    EXPECT_EQ(slide->SlideIndex(), 1);
    try {
        second->Shapes();
        FAIL() << "a deleted slide must throw";
    } catch (const AutomationError& e) {
        EXPECT_EQ(e.member(), "Slide.Shapes");
    }
    pres->Close();
    EXPECT_EQ(app->Presentations()->Count(), 0);
    EXPECT_THROW(pres->Slides(), AutomationError);
    EXPECT_THROW(slide->Shapes(), AutomationError);
}

TEST(OfficeApplication, BlankDeckRoundTripKeepsShapesNamesAndGeometry) {
    TempDir dir;
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    auto pres = app->Presentations()->Add(true);
    EXPECT_EQ(pres->Slides()->Count(), 0);
    auto slide = pres->Slides()->Add(1, automation::ppLayoutBlank);
    auto shapes = slide->Shapes();
    auto rect = shapes->AddShape(automation::msoShapeRectangle, 10.5, 20.25, 100, 50);
    auto oval = shapes->AddShape(automation::msoShapeOval, 200, 100, 30, 40);
    EXPECT_EQ(rect->Name(), "Rectangle 1");
    EXPECT_EQ(oval->Name(), "Oval 2");
    EXPECT_EQ(rect->Type(), automation::msoAutoShape);
    oval->SetRotation(-30);
    EXPECT_NEAR(oval->Rotation(), 330, 1e-9);
    rect->SetWidth(123.25);
    EXPECT_NEAR(rect->Width(), 123.25, 1e-4);
    rect->SetAlternativeText("説明 \"quoted\" & <tagged>");
    rect->SetTitle("Box");
    oval->SetAlternativeText("gone");
    oval->SetAlternativeText("");
    EXPECT_NEAR(rect->Left(), 10.5, 1e-4) << "a width change keeps the left edge";
    EXPECT_FALSE(pres->Saved());

    const std::string path = dir.File("out.pptx");
    pres->SaveAs(path);
    EXPECT_TRUE(pres->Saved());
    EXPECT_EQ(fs::path(pres->FullName()), fs::absolute(path));

    auto again = app->Presentations()->Open(path, true);
    ASSERT_EQ(again->Slides()->Count(), 1);
    auto s2 = again->Slides()->Item(1)->Shapes();
    ASSERT_EQ(s2->Count(), 2);
    EXPECT_EQ(s2->Item(1)->Name(), "Rectangle 1");
    EXPECT_EQ(s2->Item(1)->AlternativeText(), "説明 \"quoted\" & <tagged>");
    EXPECT_EQ(s2->Item(1)->Title(), "Box");
    EXPECT_EQ(s2->Item(2)->AlternativeText(), "") << "an emptied description is removed";
    ExpectSameGeometry(GeometryOf(s2->Item(1)), {10.5, 20.25, 123.25, 50, 0}, 1e-4, "rectangle");
    ExpectSameGeometry(GeometryOf(s2->Item(2)), {200, 100, 30, 40, 330}, 1e-4, "oval");
    EXPECT_EQ(s2->Item(2)->ZOrderPosition(), 2);
}

TEST(OfficeApplication, SaveAsWritesTheFormatItsExtensionNames) {
    TempDir dir;
    office::OfficeProvider provider;
    auto pres = provider.CreatePowerPoint()->Presentations()->Add(true);
    pres->Slides()->Add(1, automation::ppLayoutBlank);
    const std::pair<const char*, const char*> cases[] = {
        {"a.pptm", "application/vnd.ms-powerpoint.presentation.macroEnabled.main+xml"},
        {"b.ppsx", "application/vnd.openxmlformats-officedocument.presentationml.slideshow.main+xml"},
        {"c.potx", "application/vnd.openxmlformats-officedocument.presentationml.template.main+xml"},
        {"d.PPTX", "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml"},
    };
    for (const auto& [name, type] : cases) {
        pres->SaveAs(dir.File(name));
        auto pkg = office::package::Package::Open(dir.File(name));
        EXPECT_EQ(pkg->ContentType(pkg->MainPartName()), type) << name;
    }
    EXPECT_THROW(pres->SaveAs(dir.File("e.ppt")), AutomationError);
    EXPECT_FALSE(fs::exists(dir.File("e.ppt")));
}

TEST(OfficeApplication, ReadOnlyOpenNeverWritesTheInput) {
    TempDir dir;
    office::OfficeProvider provider;
    auto app = provider.CreatePowerPoint();
    auto pres = app->Presentations()->Add(true);
    pres->Slides()->Add(1, automation::ppLayoutBlank)->Shapes()->AddShape(1, 1, 1, 10, 10);
    const std::string input = dir.File("input.pptx");
    pres->SaveAs(input);
    pres->Close();
    const auto before = ReadBytes(input);
    const auto stamp = fs::last_write_time(input);

    auto opened = app->Presentations()->Open(input, true);
    opened->Slides()->Item(1)->Shapes()->Item(1)->SetLeft(300);
    opened->Slides()->Add(2, automation::ppLayoutBlank);
    EXPECT_THROW(opened->SaveAs(input), AutomationError);
    opened->SaveAs(dir.File("other.pptx"));
    opened->Close();
    EXPECT_EQ(ReadBytes(input), before);
    EXPECT_EQ(fs::last_write_time(input), stamp);
    EXPECT_THROW(app->Presentations()->Open(dir.File("missing.pptx"), true), AutomationError);
}
