#pragma once

// An INI file's text held line by line, so that an edit changes one line and every other line
// (comments, other sections, unknown keys) is written back unchanged. Section and key names compare
// without regard to case.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

class IniDocument {
public:
    // Any text is accepted; lines that are neither sections nor entries are kept as they are.
    void Parse(std::string_view text);
    // The entry's value with surrounding blanks and one pair of enclosing quotes removed; the first of
    // duplicate entries counts.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;
    // Replaces the entry's value, or adds the entry (and the section) at the end of its section.
    void Set(std::string_view section, std::string_view key, std::string_view value);
    std::string Serialize() const;

    const std::vector<std::string>& lines() const { return lines_; }

private:
    // Index of the section's header line, or npos.
    std::size_t FindSection(std::string_view section) const;

    std::vector<std::string> lines_;
    std::string newline_ = "\n";
};

} // namespace settings
