#include "office/OfficeProvider.h"

#include "office/excel/ExcelApplication.h"
#include "office/model/Application.h"

namespace office {

OfficeProvider::OfficeProvider(std::string version, binary::ConverterSettings converter,
                               unsigned pictureWorkers)
    : version_(std::move(version)), converter_(std::move(converter)), clipboard_(pictureWorkers) {}

OfficeProvider::~OfficeProvider() = default;

automation::ApplicationPtr OfficeProvider::GetActivePowerPoint() {
    if (app_ && app_->Alive())
        return app_;
    return nullptr;
}

automation::ApplicationPtr OfficeProvider::CreatePowerPoint() {
    if (!app_ || !app_->Alive()) {
        app_ = std::make_shared<Application>(version_, clipboard_);
        app_->SetConverter(converter_);
        app_->SetInterruptCheck(interruptCheck_);
    }
    return app_;
}

void OfficeProvider::SetInterruptCheck(std::function<bool()> check) {
    interruptCheck_ = std::move(check);
    if (app_)
        app_->SetInterruptCheck(interruptCheck_);
}

automation::ExcelApplicationPtr OfficeProvider::CreateExcel() {
    return CreateExcelApplication(clipboard_);
}

} // namespace office
