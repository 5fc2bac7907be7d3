#include "office/fonts/DeckCharacters.h"

#include "office/package/Package.h"

#include <cstring>
#include <exception>

namespace office::fonts {
namespace {

// Characters fields and the viewer may produce without their being in the file.
constexpr std::string_view kAlwaysKept = "年月日時分秒午前後曜火水木金土令和平成昭 　‐–—…・";

std::string_view LocalName(const char* name) {
    const char* colon = std::strchr(name, ':');
    return colon != nullptr ? std::string_view(colon + 1) : std::string_view(name);
}

bool IsXmlPart(const office::package::Package& package, const std::string& part) {
    const std::string type = package.ContentType(part);
    return type.ends_with("+xml") || type.ends_with("/xml");
}

void Collect(const pugi::xml_node& node, std::set<char32_t>& into) {
    for (pugi::xml_node child = node.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element)
            continue;
        const std::string_view local = LocalName(child.name());
        // a:t (runs, fields, diagrams), c:v (chart cached values), c:formatCode and friends.
        if (local == "t" || local == "v")
            AddUtf8Characters(child.text().get(), into);
        if (local == "buChar")
            AddUtf8Characters(child.attribute("char").value(), into);
        Collect(child, into);
    }
}

} // namespace

void AddUtf8Characters(std::string_view text, std::set<char32_t>& into) {
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char lead = text[i];
        int extra = lead < 0x80           ? 0
                    : (lead >> 5) == 0x6  ? 1
                    : (lead >> 4) == 0xE  ? 2
                    : (lead >> 3) == 0x1E ? 3
                                          : -1;
        if (extra < 0 || i + extra >= text.size()) {
            ++i;
            continue;
        }
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        bool valid = true;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char next = text[i + k];
            if ((next & 0xC0) != 0x80)
                valid = false;
            c = (c << 6) | (next & 0x3F);
        }
        i += valid ? extra + 1 : 1;
        if (valid)
            into.insert(c);
    }
}

std::set<char32_t> DeckCharacters(const office::package::Package& package) {
    std::set<char32_t> characters;
    for (char32_t c = 0x20; c < 0x7F; ++c)
        characters.insert(c);
    characters.insert(0xA0);
    AddUtf8Characters(kAlwaysKept, characters);
    for (const std::string& part : package.LiveParts()) {
        if (!part.starts_with("/ppt/") || !IsXmlPart(package, part))
            continue;
        try {
            Collect(package.XmlForRead(part), characters);
        } catch (const std::exception&) {
            // A part we cannot parse shows no text we could keep glyphs for either.
        }
    }
    return characters;
}

} // namespace office::fonts
