#include "settings/HiveFile.h"

#include <QString>
#include <algorithm>

namespace settings {

namespace {

constexpr std::string_view kMagic = "quarnel-hive";

std::vector<std::string_view> SplitFields(std::string_view line) {
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    while (true) {
        const auto tab = line.find('\t', start);
        if (tab == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, tab - start));
        start = tab + 1;
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool ParseType(std::string_view text, std::uint32_t& type) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > 0xFFFFFFFFu) {
        return false;
    }
    type = static_cast<std::uint32_t>(value);
    return true;
}

std::string ParentOf(const std::string& normalised) {
    const auto slash = normalised.find_last_of('\\');
    return slash == std::string::npos ? std::string() : normalised.substr(0, slash);
}

} // namespace

std::string EscapeHiveField(std::string_view raw) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(raw.size());
    for (const char c : raw) {
        const auto b = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (b < 0x20 || b == 0x7F) {
                out += "\\x";
                out += kHex[b >> 4];
                out += kHex[b & 0xF];
            } else {
                out += c;
            }
        }
    }
    return out;
}

bool UnescapeHiveField(std::string_view field, std::string& raw) {
    raw.clear();
    for (std::size_t i = 0; i < field.size(); ++i) {
        const char c = field[i];
        if (c != '\\') {
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                return false; // control bytes are always escaped
            }
            raw += c;
            continue;
        }
        if (++i >= field.size()) {
            return false;
        }
        switch (field[i]) {
        case '\\':
            raw += '\\';
            break;
        case 't':
            raw += '\t';
            break;
        case 'n':
            raw += '\n';
            break;
        case 'r':
            raw += '\r';
            break;
        case 'x': {
            if (i + 2 >= field.size()) {
                return false;
            }
            const int hi = HexDigit(field[i + 1]);
            const int lo = HexDigit(field[i + 2]);
            if (hi < 0 || lo < 0) {
                return false;
            }
            raw += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

std::string HiveData::NormalizePath(std::string_view path) {
    std::string out;
    std::size_t start = 0;
    while (start <= path.size()) {
        auto end = path.find('\\', start);
        if (end == std::string_view::npos) {
            end = path.size();
        }
        const auto part = path.substr(start, end - start);
        if (!part.empty()) {
            if (!out.empty()) {
                out += '\\';
            }
            out += part;
        }
        start = end + 1;
    }
    return out;
}

std::string HiveData::FoldCase(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())).toCaseFolded().toStdString();
}

bool HiveData::HasKey(std::string_view path) const {
    return FindKey(path) != nullptr;
}

const RegKey* HiveData::FindKey(std::string_view path) const {
    const auto it = keys_.find(FoldCase(NormalizePath(path)));
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey* HiveData::FindKey(std::string_view path) {
    const auto it = keys_.find(FoldCase(NormalizePath(path)));
    return it == keys_.end() ? nullptr : &it->second;
}

RegKey& HiveData::EnsureKey(std::string_view path) {
    const std::string normalised = NormalizePath(path);
    // Create from the top down so that every key keeps the spelling it was first created with.
    std::string prefix;
    std::size_t start = 0;
    RegKey* key = nullptr;
    while (true) {
        const auto folded = FoldCase(prefix);
        auto it = keys_.find(folded);
        if (it == keys_.end()) {
            it = keys_.emplace(folded, RegKey{prefix, {}}).first;
        }
        key = &it->second;
        if (start > normalised.size() || normalised.empty()) {
            break;
        }
        auto end = normalised.find('\\', start);
        if (end == std::string::npos) {
            end = normalised.size();
        }
        // Reuse the stored spelling of the keys above so that lookups stay consistent.
        prefix =
            (key->path.empty() ? std::string() : key->path + "\\") + normalised.substr(start, end - start);
        start = end + 1;
    }
    return *key;
}

std::vector<std::string> HiveData::Subkeys(std::string_view path) const {
    const std::string parent = FoldCase(NormalizePath(path));
    std::vector<std::pair<std::string, std::string>> found; // folded name, stored name
    for (const auto& [folded, key] : keys_) {
        if (folded.empty() || ParentOf(folded) != parent) {
            continue;
        }
        const auto slash = key.path.find_last_of('\\');
        const std::string name = slash == std::string::npos ? key.path : key.path.substr(slash + 1);
        const auto foldedSlash = folded.find_last_of('\\');
        found.emplace_back(foldedSlash == std::string::npos ? folded : folded.substr(foldedSlash + 1), name);
    }
    std::sort(found.begin(), found.end());
    std::vector<std::string> names;
    names.reserve(found.size());
    for (auto& entry : found) {
        names.push_back(std::move(entry.second));
    }
    return names;
}

const RegValue* HiveData::FindValue(const RegKey& key, std::string_view name) {
    const std::string folded = FoldCase(name);
    for (const auto& value : key.values) {
        if (FoldCase(value.name) == folded) {
            return &value;
        }
    }
    return nullptr;
}

void HiveData::SetValue(RegKey& key, std::string_view name, std::uint32_t type, std::string data) {
    const std::string folded = FoldCase(name);
    for (auto& value : key.values) {
        if (FoldCase(value.name) == folded) {
            value.type = type;
            value.data = std::move(data);
            return;
        }
    }
    key.values.push_back(RegValue{std::string(name), type, std::move(data)});
}

bool HiveData::RemoveValue(RegKey& key, std::string_view name) {
    const std::string folded = FoldCase(name);
    const auto it = std::find_if(key.values.begin(), key.values.end(),
                                 [&](const RegValue& v) { return FoldCase(v.name) == folded; });
    if (it == key.values.end()) {
        return false;
    }
    key.values.erase(it);
    return true;
}

std::string HiveData::Serialize() const {
    std::string out = std::string(kMagic) + "\t" + std::to_string(kHiveFormatVersion) + "\n";
    for (const auto& [folded, key] : keys_) {
        out += "key\t" + EscapeHiveField(key.path) + "\n";
        for (const auto& value : key.values) {
            out += "value\t" + EscapeHiveField(value.name) + "\t" + std::to_string(value.type) + "\t" +
                   EscapeHiveField(value.data) + "\n";
        }
    }
    out += "end\n";
    return out;
}

HiveParseResult HiveData::Parse(std::string_view text) {
    keys_.clear();
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const auto nl = text.find('\n', start);
        if (nl == std::string_view::npos) {
            return HiveParseResult::Damaged; // every record, the last included, ends with LF
        }
        lines.push_back(text.substr(start, nl - start));
        start = nl + 1;
    }
    if (lines.empty()) {
        return HiveParseResult::Damaged;
    }
    const auto header = SplitFields(lines.front());
    std::uint32_t version = 0;
    if (header.size() != 2 || header[0] != kMagic || !ParseType(header[1], version) || version == 0) {
        return HiveParseResult::Damaged;
    }
    if (version > static_cast<std::uint32_t>(kHiveFormatVersion)) {
        return HiveParseResult::NewerVersion;
    }
    RegKey* current = nullptr;
    bool ended = false;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        if (ended) {
            keys_.clear();
            return HiveParseResult::Damaged;
        }
        const auto fields = SplitFields(lines[i]);
        if (fields.size() == 1 && fields[0] == "end") {
            ended = true;
        } else if (fields.size() == 2 && fields[0] == "key") {
            std::string path;
            if (!UnescapeHiveField(fields[1], path)) {
                keys_.clear();
                return HiveParseResult::Damaged;
            }
            current = &EnsureKey(path);
        } else if (fields.size() == 4 && fields[0] == "value" && current != nullptr) {
            RegValue value;
            if (!UnescapeHiveField(fields[1], value.name) || !ParseType(fields[2], value.type) ||
                !UnescapeHiveField(fields[3], value.data)) {
                keys_.clear();
                return HiveParseResult::Damaged;
            }
            SetValue(*current, value.name, value.type, std::move(value.data));
        } else {
            keys_.clear();
            return HiveParseResult::Damaged;
        }
    }
    if (!ended) {
        keys_.clear();
        return HiveParseResult::Damaged;
    }
    return HiveParseResult::Ok;
}

} // namespace settings
