#pragma once

// The names the office application and common deck generators give a picture when it is inserted,
// in every user-interface language: a picture still carrying such a name was never renamed by the
// person, so it may be recompressed; any other name protects it.

#include <string>
#include <string_view>
#include <vector>

namespace engine {

struct DefaultPictureName {
    std::string_view language; // tag of the user-interface language, or "generator"
    std::string_view word;     // the name without its number ("Grafik")
};

// Every default picture word, one row per language.
const std::vector<DefaultPictureName>& DefaultPictureNames();
// Default names of placeholders, which keep their name when a picture is put into them.
const std::vector<DefaultPictureName>& DefaultPlaceholderNames();

// True when the name is a word of the table, one blank and a whole number ("Рисунок 4"), or the
// name of the picture file it was inserted from ("IMGP0517.JPG"), or empty (LibreOffice Impress
// names none). Latin letters compare without regard to case.
bool IsDefaultPictureName(const std::string& name);
// The name of a picture file without a folder: a stem and a picture format's extension. The office
// suite's 2007 version names a picture inserted into a content placeholder after its file.
bool IsPictureFileName(const std::string& name);
// The same over the placeholder table ("Content Placeholder 2").
bool IsDefaultPlaceholderName(const std::string& name);
// The walk's own name rules over a picture shape (placeholder: a placeholder holding the picture):
// the names it replaces, which the deck-wide pass and the sharing test do not protect either.
bool IsUnprotectedPictureName(const std::string& name, bool placeholder);

} // namespace engine
