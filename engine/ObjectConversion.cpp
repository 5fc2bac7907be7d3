#include "engine/ObjectConversion.h"

#include "automation/Constants.h"
#include "engine/Attempt.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"

#include <algorithm>
#include <cctype>

namespace engine {

namespace {

// Lower-cases ASCII letters only: the prefixes compared are ASCII, and bytes of other characters
// must stay as they are.
std::string AsciiLower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool StartsWithIgnoringCase(const std::string& text, const std::string& lowerPrefix) {
    if (text.size() < lowerPrefix.size())
        return false;
    return AsciiLower(text.substr(0, lowerPrefix.size())) == lowerPrefix;
}

} // namespace

bool IsObjectName(const std::string& name) {
    return StartsWithIgnoringCase(name, "object ");
}

bool IsPictureName(const std::string& name) {
    static const std::string kJapanesePrefix = "図 ";
    return name.compare(0, kJapanesePrefix.size(), kJapanesePrefix) == 0 ||
           StartsWithIgnoringCase(name, "picture ");
}

std::string ApplicationOfProgId(const std::string& progId) {
    return progId.substr(0, progId.find('.'));
}

std::string RecognizeObject(automation::IShape& shape, settings::ExceptionList& exceptions) {
    const auto progId = AttemptValue([&] { return shape.OLEFormat()->ProgID(); });
    if (!progId || progId->empty())
        return {};
    std::string kind = ApplicationOfProgId(*progId);
    exceptions.AddToExceptionList(kind, "False");
    return kind;
}

bool ObjectQualifies(int shapeType, const std::string& kind, const settings::Settings& settings,
                     const settings::ExceptionList& exceptions) {
    return shapeType != automation::msoMedia && settings.OLE == 1 &&
           exceptions.ObjToImage(kind) != settings::kDoNotConvert;
}

} // namespace engine
