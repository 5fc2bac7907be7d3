#pragma once

// Action settings (click and mouse-over) and connector glue of the object model.

#include <memory>
#include <string>

namespace automation {

class IShape;

class IHyperlink {
public:
    virtual ~IHyperlink() = default;
    virtual std::string Address() = 0;
    virtual void SetAddress(const std::string& v) = 0;
    virtual std::string EmailSubject() = 0;
    virtual void SetEmailSubject(const std::string& v) = 0;
    virtual std::string ScreenTip() = 0;
    virtual void SetScreenTip(const std::string& v) = 0;
    virtual bool ShowAndReturn() = 0;
    virtual void SetShowAndReturn(bool v) = 0;
    virtual std::string SubAddress() = 0;
    virtual void SetSubAddress(const std::string& v) = 0;
    virtual std::string TextToDisplay() = 0;
    virtual void SetTextToDisplay(const std::string& v) = 0;
};

class ISoundEffect {
public:
    virtual ~ISoundEffect() = default;
    virtual std::string Name() = 0;
    virtual void SetName(const std::string& v) = 0;
    virtual int Type() = 0;
    virtual void SetType(int v) = 0;
};

class IActionSetting {
public:
    virtual ~IActionSetting() = default;
    virtual std::shared_ptr<IHyperlink> Hyperlink() = 0;
    virtual std::shared_ptr<ISoundEffect> SoundEffect() = 0;
    virtual int Action() = 0;
    virtual void SetAction(int v) = 0;
    virtual bool AnimateAction() = 0;
    virtual void SetAnimateAction(bool v) = 0;
    virtual std::string Run() = 0;
    virtual void SetRun(const std::string& v) = 0;
    virtual std::string SlideShowName() = 0;
    virtual void SetSlideShowName(const std::string& v) = 0;
};

class IConnectorFormat {
public:
    virtual ~IConnectorFormat() = default;
    virtual bool BeginConnected() = 0;
    virtual std::shared_ptr<IShape> BeginConnectedShape() = 0;
    virtual int BeginConnectionSite() = 0;
    virtual void BeginConnect(std::shared_ptr<IShape> shape, int site) = 0;
    virtual void BeginDisconnect() = 0;
    virtual bool EndConnected() = 0;
    virtual std::shared_ptr<IShape> EndConnectedShape() = 0;
    virtual int EndConnectionSite() = 0;
    virtual void EndConnect(std::shared_ptr<IShape> shape, int site) = 0;
    virtual void EndDisconnect() = 0;
};

} // namespace automation
