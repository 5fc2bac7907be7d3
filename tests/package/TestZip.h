#pragma once

// Hand-made ZIP archives and small decks for the package tests: lets a test state exactly what the
// archive holds, including the lies a hostile file tells.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testzip {

using Bytes = std::vector<std::uint8_t>;

struct Item {
    Item(std::string itemName, std::string itemData, bool deflated = true,
         std::optional<std::uint64_t> declared = std::nullopt)
        : name(std::move(itemName)), data(std::move(itemData)), deflate(deflated), declaredSize(declared) {}

    std::string name;
    std::string data;
    bool deflate = true;
    int level = 9; // zlib level when deflated
    // Sizes written in the headers instead of the real ones (zip-bomb and damage cases).
    // Above 4 GiB the size goes into a zip64 extra field.
    std::optional<std::uint64_t> declaredSize;
};

Bytes BuildZip(const std::vector<Item>& items);

inline constexpr const char* kPngCt = "image/png";

// A one-slide presentation: slide with a picture and an external hyperlink, a layout/master pair,
// core properties, plus one orphan part no relationship reaches. `extra` items are appended.
std::vector<Item> SmallDeckItems();
Bytes SmallDeck(const std::vector<Item>& extra = {});

// A PNG-looking blob of the given size (signature followed by pseudo-random bytes).
std::string FakePng(std::size_t size, unsigned seed = 1);

std::string ToString(const Bytes& bytes);
Bytes ToBytes(const std::string& text);
// A path as text is UTF-8, as the program takes it.
Bytes ReadFile(const std::filesystem::path& path);
Bytes ReadFile(const std::string& path);
void WriteFile(const std::filesystem::path& path, const Bytes& bytes);
void WriteFile(const std::string& path, const Bytes& bytes);

// Entry names and inflated contents of an archive, read with zlib only (independent of the code
// under test). Throws std::runtime_error on anything it cannot parse.
struct Entry {
    std::string name;
    std::string data;
    std::string stored; // the compressed bytes as they sit in the archive
    std::uint16_t method = 0;
};
std::vector<Entry> ReadZip(const Bytes& archive);

} // namespace testzip
