#include "office/model/OpenDeck.h"

#include "automation/AutomationError.h"
#include "office/binary/DeckFormat.h"
#include "office/binary/DefaultShapeNames.h"
#include "office/package/OpcTypes.h"
#include "platform/PathText.h"

#include <algorithm>
#include <cctype>
#include <filesystem>

namespace office::model {
namespace {

using automation::AutomationError;

constexpr const char* kNotFound = "ファイルが見つかりません。";
constexpr const char* kEncrypted = "パスワードで保護されたファイルは開けません。";
constexpr const char* kNotPowerPoint = "PowerPointのファイルではありません。";
constexpr const char* kDamaged = "ファイルが壊れています。";
constexpr const char* kConvertedUnreadable = "LibreOfficeが変換したファイルを読み込めませんでした。";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The package reader's message without its member prefix.
std::string Detail(const AutomationError& error) {
    std::string text = error.what();
    const std::string prefix = error.member() + ": ";
    return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
}

// The package reader explains in English; the person gets a Japanese sentence before it.
template <typename OpenStep>
std::unique_ptr<package::Package> WithExplanation(OpenStep&& open, const char* userText,
                                                  const std::string& member) {
    try {
        return open();
    } catch (const AutomationError& error) {
        if (!error.userText().empty())
            throw;
        throw AutomationError(member, Detail(error), userText);
    }
}

} // namespace

std::string PackageExtensionFor(std::string_view mainContentType) {
    namespace ct = package::contenttype;
    const std::string type = Lower(std::string(mainContentType));
    for (const auto& [known, extension] :
         {std::pair{ct::kPresentationMain, "pptx"}, std::pair{ct::kPresentationMacroMain, "pptm"},
          std::pair{ct::kSlideshowMain, "ppsx"}, std::pair{ct::kSlideshowMacroMain, "ppsm"},
          std::pair{ct::kTemplateMain, "potx"}, std::pair{ct::kTemplateMacroMain, "potm"}})
        if (type == Lower(known))
            return extension;
    return {};
}

std::string ConvertedExtensionFor(const std::string& fileName) {
    std::string ext = Lower(platform::PathToUtf8(platform::PathFromUtf8(fileName).extension()));
    if (ext.rfind(".pps", 0) == 0)
        return "ppsx";
    if (ext.rfind(".pot", 0) == 0)
        return "potx";
    return "pptx";
}

OpenedDeck OpenDeck(const std::string& path, const binary::ConverterSettings& converter,
                    const binary::StopCheck& stop, const std::string& member) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(platform::PathFromUtf8(path), ec))
        throw AutomationError(member, "file not found: " + path, kNotFound);

    OpenedDeck deck;
    switch (binary::SniffDeckFile(path)) {
    case binary::DeckFormat::EncryptedBinaryDeck:
    case binary::DeckFormat::EncryptedPackage:
        throw AutomationError(member, "password-protected (encrypted compound file)", kEncrypted);
    case binary::DeckFormat::OtherCompoundFile:
        throw AutomationError(member, "a compound file without a PowerPoint document stream", kNotPowerPoint);
    case binary::DeckFormat::DamagedCompoundFile:
        throw AutomationError(member, "damaged compound file", kDamaged);
    case binary::DeckFormat::BinaryDeck: {
        package::Bytes bytes = binary::ConvertWithLibreOffice(path, "pptx", converter, stop, member);
        deck.package =
            WithExplanation([&] { return package::Package::OpenFromBytes(std::move(bytes), member); },
                            kConvertedUnreadable, member);
        binary::NameUnnamedShapes(*deck.package);
        deck.saveExtension = ConvertedExtensionFor(path);
        deck.converted = true;
        return deck;
    }
    case binary::DeckFormat::Package:
    case binary::DeckFormat::Unknown:
        break;
    }
    // The package reader's English cause (empty, truncated, not a presentation...) is precise enough for
    // the log to put into Japanese itself.
    deck.package = package::Package::Open(path, member);
    deck.saveExtension = PackageExtensionFor(deck.package->ContentType(deck.package->MainPartName()));
    return deck;
}

} // namespace office::model
