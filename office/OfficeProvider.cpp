#include "office/OfficeProvider.h"

#include "office/excel/ExcelApplication.h"
#include "office/model/Application.h"

namespace office {

OfficeProvider::OfficeProvider(std::string version) : version_(std::move(version)) {}

OfficeProvider::~OfficeProvider() = default;

automation::ApplicationPtr OfficeProvider::GetActivePowerPoint() {
    if (app_ && app_->Alive())
        return app_;
    return nullptr;
}

automation::ApplicationPtr OfficeProvider::CreatePowerPoint() {
    if (!app_ || !app_->Alive())
        app_ = std::make_shared<Application>(version_, clipboard_);
    return app_;
}

automation::ExcelApplicationPtr OfficeProvider::CreateExcel() {
    return CreateExcelApplication(clipboard_);
}

} // namespace office
