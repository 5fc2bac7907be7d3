#pragma once

// Application objects in a slide: how the walk recognises one, which application it belongs to,
// and whether the object conversion list lets it be turned into a picture.

#include "automation/PowerPoint.h"

#include <string>

namespace settings {
struct Settings;
class ExceptionList;
} // namespace settings

namespace engine {

// True when the first 7 characters of the name, lower-cased, are "object ".
bool IsObjectName(const std::string& name);
// True when the name starts with "図 " or its first 8 characters, lower-cased, are "picture ".
bool IsPictureName(const std::string& name);

// The application part of a program identifier: the text before the first ".".
std::string ApplicationOfProgId(const std::string& progId);

// Reads the object's program identifier and registers its application in the list with "False".
// An identifier that cannot be read counts as none: the kind is empty and nothing is registered.
std::string RecognizeObject(automation::IShape& shape, settings::ExceptionList& exceptions);

// An object goes to the replacement cycle when it is no media shape, conversion is switched on and
// its application is not set to "変換しない".
bool ObjectQualifies(int shapeType, const std::string& kind, const settings::Settings& settings,
                     const settings::ExceptionList& exceptions);

} // namespace engine
