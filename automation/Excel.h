#pragma once

// The worksheet half of the object model, used only as a paste target by the older paste path.

#include <memory>
#include <string>

namespace automation {

class IExcelShape {
public:
    virtual ~IExcelShape() = default;
    virtual void Copy() = 0;
    virtual void Delete() = 0;
};

class IWorksheet {
public:
    virtual ~IWorksheet() = default;
    // format is a clipboard format caption: "図 (JPEG)", "図 (PNG)", "図 (GIF)", "図 (拡張メタファイル)".
    virtual void PasteSpecial(const std::string& format, bool link, bool displayAsIcon) = 0;
    virtual std::shared_ptr<IExcelShape> Shapes(int index) = 0;
};

class IWorkbook {
public:
    virtual ~IWorkbook() = default;
    virtual std::shared_ptr<IWorksheet> Worksheets(int index) = 0;
    virtual bool Saved() = 0;
    virtual void SetSaved(bool saved) = 0;
    virtual void Close() = 0;
};

class IWorkbooks {
public:
    virtual ~IWorkbooks() = default;
    virtual int Count() = 0;
    virtual std::shared_ptr<IWorkbook> Add() = 0;
};

class IExcelApplication {
public:
    virtual ~IExcelApplication() = default;
    virtual std::string Name() = 0;
    virtual std::shared_ptr<IWorkbooks> Workbooks() = 0;
    virtual int WindowState() = 0;
    virtual void SetWindowState(int state) = 0;
    virtual bool Visible() = 0;
    virtual void SetVisible(bool visible) = 0;
    virtual void Quit() = 0;
};

using ExcelApplicationPtr = std::shared_ptr<IExcelApplication>;

} // namespace automation
