#pragma once

// Opening a presentation file by what it holds, not by its name: a package is read as it is, a
// PowerPoint 97-2003 deck is converted by LibreOffice first, anything else is refused with an
// explanation for the person.

#include "office/binary/LibreOfficeConverter.h"
#include "office/package/Package.h"

#include <memory>
#include <string>
#include <string_view>

namespace office::model {

struct OpenedDeck {
    std::unique_ptr<package::Package> package;
    // The package kind the deck is written in by default: "pptx", "pptm", "ppsx", "ppsm", "potx", "potm".
    std::string saveExtension;
    bool converted = false;
};

// Throws automation::AutomationError for member when the file cannot be opened: with a Japanese userText
// for what is found here (encryption, a foreign compound file, the conversion), with the package reader's
// English cause alone otherwise. The file is only read.
OpenedDeck OpenDeck(const std::string& path, const binary::ConverterSettings& converter,
                    const binary::StopCheck& stop, const std::string& member);

// "pptx" for a presentation's main content type, "pptm" for its macro-enabled form, and likewise
// for shows and templates; empty for anything else.
std::string PackageExtensionFor(std::string_view mainContentType);

// The package kind a converted binary deck keeps: a show (.pps) stays a show, a template (.pot) a
// template; the binary format stores no such mark, so only the name tells.
std::string ConvertedExtensionFor(const std::string& fileName);

} // namespace office::model
