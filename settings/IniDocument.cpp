#include "settings/IniDocument.h"

#include <QString>

namespace settings {

namespace {

constexpr std::size_t kNone = static_cast<std::size_t>(-1);

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && IsSpace(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool SameName(std::string_view a, std::string_view b) {
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
               .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())), Qt::CaseInsensitive) ==
           0;
}

// The section name when the line is a section header.
std::optional<std::string_view> SectionName(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') {
        return std::nullopt;
    }
    const auto close = t.find(']');
    if (close == std::string_view::npos) {
        return Trim(t.substr(1));
    }
    return Trim(t.substr(1, close - 1));
}

struct Entry {
    std::string_view key;
    std::string_view value;
};

std::optional<Entry> EntryOf(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() == ';' || t.front() == '[') {
        return std::nullopt;
    }
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) {
        return std::nullopt;
    }
    return Entry{Trim(t.substr(0, eq)), Trim(t.substr(eq + 1))};
}

// Line breaks inside a name or value would split the entry; they become blanks.
std::string OneLine(std::string_view s) {
    std::string out(s);
    for (auto& c : out) {
        if (c == '\r' || c == '\n' || c == '\0') {
            c = ' ';
        }
    }
    return out;
}

} // namespace

void IniDocument::Parse(std::string_view text) {
    lines_.clear();
    newline_ = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
    std::size_t start = 0;
    while (start < text.size()) {
        auto nl = text.find('\n', start);
        if (nl == std::string_view::npos) {
            nl = text.size();
        }
        std::string_view line = text.substr(start, nl - start);
        // Every CR at a line's end goes: a kept one would turn into a line break when written back.
        while (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines_.emplace_back(line);
        start = nl + 1;
    }
}

std::size_t IniDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i]);
        if (name && SameName(*name, Trim(section))) {
            return i;
        }
    }
    return kNone;
}

std::optional<std::string> IniDocument::Find(std::string_view section, std::string_view key) const {
    const std::size_t header = FindSection(section);
    if (header == kNone) {
        return std::nullopt;
    }
    for (std::size_t i = header + 1; i < lines_.size() && !SectionName(lines_[i]); ++i) {
        const auto entry = EntryOf(lines_[i]);
        if (entry && SameName(entry->key, Trim(key))) {
            std::string_view value = entry->value;
            if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                value.back() == value.front()) {
                value = value.substr(1, value.size() - 2);
            }
            return std::string(value);
        }
    }
    return std::nullopt;
}

void IniDocument::Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string cleanSection = OneLine(Trim(section));
    const std::string cleanKey = OneLine(Trim(key));
    const std::string line = cleanKey + "=" + OneLine(value);
    std::size_t header = FindSection(cleanSection);
    if (header == kNone) {
        while (!lines_.empty() && Trim(lines_.back()).empty()) {
            lines_.pop_back();
        }
        lines_.push_back("[" + cleanSection + "]");
        lines_.push_back(line);
        return;
    }
    std::size_t lastEntry = header;
    std::size_t i = header + 1;
    for (; i < lines_.size() && !SectionName(lines_[i]); ++i) {
        const auto entry = EntryOf(lines_[i]);
        if (!entry) {
            if (!Trim(lines_[i]).empty()) {
                lastEntry = i;
            }
            continue;
        }
        if (SameName(entry->key, cleanKey)) {
            lines_[i] = line;
            return;
        }
        lastEntry = i;
    }
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(lastEntry + 1), line);
}

std::string IniDocument::Serialize() const {
    std::string out;
    for (const auto& line : lines_) {
        out += line;
        out += newline_;
    }
    return out;
}

} // namespace settings
