#include "engine/LinkTransfer.h"

#include "engine/Attempt.h"

namespace engine {

void CopyActionSetting(automation::IActionSetting& source, automation::IActionSetting& target) {
    Attempt([&] {
        auto to = Need(target.Hyperlink(), "Hyperlink");
        auto from = Need(source.Hyperlink(), "Hyperlink");
        to->SetAddress(from->Address());
        to->SetEmailSubject(from->EmailSubject());
        to->SetScreenTip(from->ScreenTip());
        to->SetShowAndReturn(from->ShowAndReturn());
        to->SetSubAddress(from->SubAddress());
        to->SetTextToDisplay(from->TextToDisplay());
    });
    Attempt([&] {
        auto to = Need(target.SoundEffect(), "SoundEffect");
        auto from = Need(source.SoundEffect(), "SoundEffect");
        to->SetName(from->Name());
        to->SetType(from->Type());
    });
    Attempt([&] { target.SetAction(source.Action()); });
    Attempt([&] { target.SetAnimateAction(source.AnimateAction()); });
    Attempt([&] { target.SetRun(source.Run()); });
    Attempt([&] { target.SetSlideShowName(source.SlideShowName()); });
}

void ReattachConnectors(automation::IShapes& shapes, automation::IShape& oldShape,
                        automation::ShapePtr newShape) {
    Attempt([&] {
        const std::string oldName = oldShape.Name();
        const int count = shapes.Count();
        for (int i = 1; i <= count; ++i) {
            auto shape = Need(shapes.Item(i), "Item");
            if (!shape->Connector())
                continue;
            auto connector = Need(shape->ConnectorFormat(), "ConnectorFormat");
            if (connector->BeginConnected() &&
                Need(connector->BeginConnectedShape(), "BeginConnectedShape")->Name() == oldName) {
                const int site = connector->BeginConnectionSite();
                connector->BeginDisconnect();
                connector->BeginConnect(newShape, site);
            }
            if (connector->EndConnected() &&
                Need(connector->EndConnectedShape(), "EndConnectedShape")->Name() == oldName) {
                const int site = connector->EndConnectionSite();
                connector->EndDisconnect();
                connector->EndConnect(newShape, site);
            }
        }
    });
}

} // namespace engine
