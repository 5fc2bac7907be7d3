#include "office/excel/ExcelApplication.h"

#include "automation/AutomationError.h"
#include "office/clipboard/EngineClipboard.h"
#include "office/excel/SheetPicture.h"

#include <vector>

namespace office {

namespace {

constexpr const char* kExcelName = "Vodrik Worksheet Engine";
constexpr int kWindowStateNormal = -4143;

// State shared by the application and everything reached from it, so that a worksheet outliving
// Quit still fails cleanly instead of touching a dead application.
struct ExcelCore {
    explicit ExcelCore(EngineClipboard& c) : clipboard(c) {}
    EngineClipboard& clipboard;
    bool alive = true;
    int windowState = kWindowStateNormal;
    bool visible = false;
    std::vector<std::shared_ptr<automation::IWorkbook>> workbooks;

    void RequireAlive(const std::string& member) const {
        if (!alive) {
            throw automation::AutomationError(member, "the application has quit");
        }
    }
};

class SheetShape : public automation::IExcelShape {
public:
    SheetShape(std::shared_ptr<ExcelCore> core, std::shared_ptr<std::optional<excel::SheetPicture>> slot)
        : core_(std::move(core)), slot_(std::move(slot)) {}

    void Copy() override {
        const auto& picture = Require("Shape.Copy");
        try {
            core_->clipboard.Set(excel::ClipboardFor(picture));
        } catch (const imaging::ImagingError& e) {
            throw automation::AutomationError("Shape.Copy", e.what());
        }
    }

    void Delete() override {
        Require("Shape.Delete");
        slot_->reset();
    }

private:
    const excel::SheetPicture& Require(const std::string& member) const {
        core_->RequireAlive(member);
        if (!slot_->has_value()) {
            throw automation::AutomationError(member, "the shape was deleted");
        }
        return **slot_;
    }

    std::shared_ptr<ExcelCore> core_;
    std::shared_ptr<std::optional<excel::SheetPicture>> slot_;
};

class Worksheet : public automation::IWorksheet {
public:
    explicit Worksheet(std::shared_ptr<ExcelCore> core) : core_(std::move(core)) {}

    void PasteSpecial(const std::string& format, bool link, bool displayAsIcon) override {
        const std::string member = "Worksheet.PasteSpecial";
        core_->RequireAlive(member);
        if (closed_) {
            throw automation::AutomationError(member, "the workbook was closed");
        }
        if (link || displayAsIcon) {
            throw automation::AutomationError(member,
                                              "a picture can be pasted neither linked nor as an icon");
        }
        const auto pictureFormat = excel::FormatOfCaption(format);
        if (!pictureFormat) {
            throw automation::AutomationError(member, "unknown clipboard format \"" + format + "\"");
        }
        try {
            // Each paste adds a picture on top; the first one stays Shapes(1).
            pictures_.push_back(std::make_shared<std::optional<excel::SheetPicture>>(
                excel::PasteFromClipboard(core_->clipboard.Contents(), *pictureFormat)));
        } catch (const imaging::ImagingError& e) {
            throw automation::AutomationError(member, e.what());
        } catch (const std::invalid_argument& e) {
            throw automation::AutomationError(member, e.what());
        }
    }

    std::shared_ptr<automation::IExcelShape> Shapes(int index) override {
        core_->RequireAlive("Worksheet.Shapes");
        std::erase_if(pictures_, [](const auto& slot) { return !slot->has_value(); });
        if (index < 1 || index > static_cast<int>(pictures_.size())) {
            throw automation::AutomationError("Worksheet.Shapes", "no shape " + std::to_string(index));
        }
        return std::make_shared<SheetShape>(core_, pictures_[static_cast<std::size_t>(index - 1)]);
    }

    void MarkClosed() { closed_ = true; }

private:
    std::shared_ptr<ExcelCore> core_;
    std::vector<std::shared_ptr<std::optional<excel::SheetPicture>>> pictures_;
    bool closed_ = false;
};

class Workbook : public automation::IWorkbook, public std::enable_shared_from_this<Workbook> {
public:
    explicit Workbook(std::shared_ptr<ExcelCore> core)
        : core_(std::move(core)), sheet_(std::make_shared<Worksheet>(core_)) {}

    std::shared_ptr<automation::IWorksheet> Worksheets(int index) override {
        Require("Workbook.Worksheets");
        if (index != 1) {
            throw automation::AutomationError("Workbook.Worksheets", "no worksheet " + std::to_string(index));
        }
        return sheet_;
    }
    bool Saved() override {
        Require("Workbook.Saved");
        return saved_;
    }
    void SetSaved(bool saved) override {
        Require("Workbook.Saved");
        saved_ = saved;
    }
    void Close() override {
        Require("Workbook.Close");
        closed_ = true;
        sheet_->MarkClosed();
        std::erase_if(core_->workbooks, [this](const auto& book) { return book.get() == this; });
    }

private:
    void Require(const std::string& member) const {
        core_->RequireAlive(member);
        if (closed_) {
            throw automation::AutomationError(member, "the workbook was closed");
        }
    }

    std::shared_ptr<ExcelCore> core_;
    std::shared_ptr<Worksheet> sheet_;
    bool saved_ = true;
    bool closed_ = false;
};

class WorkbookList : public automation::IWorkbooks {
public:
    explicit WorkbookList(std::shared_ptr<ExcelCore> core) : core_(std::move(core)) {}
    int Count() override {
        core_->RequireAlive("Workbooks.Count");
        return static_cast<int>(core_->workbooks.size());
    }
    std::shared_ptr<automation::IWorkbook> Add() override {
        core_->RequireAlive("Workbooks.Add");
        auto book = std::make_shared<Workbook>(core_);
        core_->workbooks.push_back(book);
        return book;
    }

private:
    std::shared_ptr<ExcelCore> core_;
};

class ExcelApplication : public automation::IExcelApplication {
public:
    explicit ExcelApplication(EngineClipboard& clipboard) : core_(std::make_shared<ExcelCore>(clipboard)) {}

    std::string Name() override {
        core_->RequireAlive("Application.Name");
        return kExcelName;
    }
    std::shared_ptr<automation::IWorkbooks> Workbooks() override {
        core_->RequireAlive("Application.Workbooks");
        return std::make_shared<WorkbookList>(core_);
    }
    int WindowState() override {
        core_->RequireAlive("Application.WindowState");
        return core_->windowState;
    }
    void SetWindowState(int state) override {
        core_->RequireAlive("Application.WindowState");
        core_->windowState = state;
    }
    bool Visible() override {
        core_->RequireAlive("Application.Visible");
        return core_->visible;
    }
    void SetVisible(bool visible) override {
        core_->RequireAlive("Application.Visible");
        core_->visible = visible;
    }
    void Quit() override {
        core_->RequireAlive("Application.Quit");
        core_->workbooks.clear();
        core_->alive = false;
    }

private:
    std::shared_ptr<ExcelCore> core_;
};

} // namespace

std::shared_ptr<automation::IExcelApplication> CreateExcelApplication(EngineClipboard& clipboard) {
    return std::make_shared<ExcelApplication>(clipboard);
}

} // namespace office
