#pragma once

// Relationship types and content types the presentation engine meets in a package. Only the values
// that code compares against or writes are listed; everything else passes through untouched.

namespace office::package {

namespace reltype {
inline constexpr const char* kOfficeDocument =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
// The same role in strict-conformance packages.
inline constexpr const char* kOfficeDocumentStrict =
    "http://purl.oclc.org/ooxml/officeDocument/relationships/officeDocument";
inline constexpr const char* kSlide =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slide";
inline constexpr const char* kSlideLayout =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slideLayout";
inline constexpr const char* kSlideMaster =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/slideMaster";
inline constexpr const char* kNotesSlide =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/notesSlide";
inline constexpr const char* kTheme =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/theme";
inline constexpr const char* kImage =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/image";
inline constexpr const char* kOleObject =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/oleObject";
inline constexpr const char* kPackage =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/package";
inline constexpr const char* kVideo =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/video";
inline constexpr const char* kAudio =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/audio";
inline constexpr const char* kMedia = "http://schemas.microsoft.com/office/2007/relationships/media";
inline constexpr const char* kHyperlink =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink";
inline constexpr const char* kHdPhoto = "http://schemas.microsoft.com/office/2007/relationships/hdphoto";
inline constexpr const char* kVmlDrawing =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/vmlDrawing";
inline constexpr const char* kVbaProject =
    "http://schemas.microsoft.com/office/2006/relationships/vbaProject";
inline constexpr const char* kDigitalSignatureOrigin =
    "http://schemas.openxmlformats.org/package/2006/relationships/digital-signature/origin";
} // namespace reltype

namespace contenttype {
inline constexpr const char* kRelationships = "application/vnd.openxmlformats-package.relationships+xml";
inline constexpr const char* kXml = "application/xml";
inline constexpr const char* kPresentationMain =
    "application/vnd.openxmlformats-officedocument.presentationml.presentation.main+xml";
inline constexpr const char* kPresentationMacroMain =
    "application/vnd.ms-powerpoint.presentation.macroEnabled.main+xml";
inline constexpr const char* kSlideshowMain =
    "application/vnd.openxmlformats-officedocument.presentationml.slideshow.main+xml";
inline constexpr const char* kSlideshowMacroMain =
    "application/vnd.ms-powerpoint.slideshow.macroEnabled.main+xml";
inline constexpr const char* kTemplateMain =
    "application/vnd.openxmlformats-officedocument.presentationml.template.main+xml";
inline constexpr const char* kTemplateMacroMain =
    "application/vnd.ms-powerpoint.template.macroEnabled.main+xml";
inline constexpr const char* kSlide =
    "application/vnd.openxmlformats-officedocument.presentationml.slide+xml";
inline constexpr const char* kJpeg = "image/jpeg";
inline constexpr const char* kPng = "image/png";
inline constexpr const char* kGif = "image/gif";
inline constexpr const char* kEmf = "image/x-emf";
inline constexpr const char* kWmf = "image/x-wmf";
inline constexpr const char* kOctetStream = "application/octet-stream";
} // namespace contenttype

} // namespace office::package
