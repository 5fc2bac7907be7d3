#pragma once

// Every character a deck's text can draw, for cutting its embedded fonts down.
//
// Which runs end up in which typeface depends on inheritance through placeholders, masters, themes
// and the viewer's font fallback, so the set is taken over all text of the deck for every embedded
// font: a few glyphs too many cost little, a missing one shows as a box. Field values (slide
// numbers, dates) are computed when shown, so digits, ASCII and the usual date characters are
// always in.

#include <set>
#include <string_view>

namespace office::package {
class Package;
}

namespace office::fonts {

std::set<char32_t> DeckCharacters(const office::package::Package& package);

// The characters of UTF-8 text (invalid sequences skipped).
void AddUtf8Characters(std::string_view text, std::set<char32_t>& into);

} // namespace office::fonts
