#include "TestZip.h"

#include "tests/support/WorkFolders.h"

#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <zlib.h>

namespace testzip {

namespace {

void Put16(Bytes& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes& out, std::uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

std::uint32_t Get16(const Bytes& in, std::size_t at) {
    if (at + 2 > in.size())
        throw std::runtime_error("short archive");
    return in[at] | (in[at + 1] << 8);
}

std::uint32_t Get32(const Bytes& in, std::size_t at) {
    return Get16(in, at) | (Get16(in, at + 2) << 16);
}

std::string RawDeflate(const std::string& data, int level) {
    z_stream zs{};
    deflateInit2(&zs, level, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&zs, data.size()) + 16, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    deflate(&zs, Z_FINISH);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string RawInflate(const std::string& data, std::size_t expected) {
    z_stream zs{};
    inflateInit2(&zs, -15);
    std::string out(expected, '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    int rc = inflate(&zs, Z_FINISH);
    inflateEnd(&zs);
    if (rc != Z_STREAM_END || zs.total_out != expected)
        throw std::runtime_error("bad deflate stream");
    return out;
}

} // namespace

Bytes BuildZip(const std::vector<Item>& items) {
    Bytes out;
    Bytes central;
    for (const auto& item : items) {
        std::string stored = item.deflate ? RawDeflate(item.data, item.level) : item.data;
        auto crc = static_cast<std::uint32_t>(
            crc32(0, reinterpret_cast<const Bytef*>(item.data.data()), static_cast<uInt>(item.data.size())));
        std::uint64_t fullSize = item.declaredSize.value_or(item.data.size());
        const bool zip64 = fullSize >= 0xFFFFFFFFu;
        std::uint32_t size = zip64 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(fullSize);
        Bytes extra;
        if (zip64) {
            Put16(extra, 0x0001);
            Put16(extra, 8);
            Put32(extra, static_cast<std::uint32_t>(fullSize));
            Put32(extra, static_cast<std::uint32_t>(fullSize >> 32));
        }
        std::uint32_t offset = static_cast<std::uint32_t>(out.size());
        std::uint16_t method = item.deflate ? 8 : 0;
        Put32(out, 0x04034b50);
        Put16(out, 20);
        Put16(out, 0);
        Put16(out, method);
        Put16(out, 0);
        Put16(out, 0x21);
        Put32(out, crc);
        Put32(out, static_cast<std::uint32_t>(stored.size()));
        Put32(out, size);
        Put16(out, static_cast<std::uint32_t>(item.name.size()));
        Put16(out, static_cast<std::uint32_t>(extra.size()));
        out.insert(out.end(), item.name.begin(), item.name.end());
        out.insert(out.end(), extra.begin(), extra.end());
        out.insert(out.end(), stored.begin(), stored.end());

        Put32(central, 0x02014b50);
        Put16(central, 20);
        Put16(central, 20);
        Put16(central, 0);
        Put16(central, method);
        Put16(central, 0);
        Put16(central, 0x21);
        Put32(central, crc);
        Put32(central, static_cast<std::uint32_t>(stored.size()));
        Put32(central, size);
        Put16(central, static_cast<std::uint32_t>(item.name.size()));
        Put16(central, static_cast<std::uint32_t>(extra.size()));
        Put16(central, 0);
        Put16(central, 0);
        Put16(central, 0);
        Put32(central, 0);
        Put32(central, offset);
        central.insert(central.end(), item.name.begin(), item.name.end());
        central.insert(central.end(), extra.begin(), extra.end());
    }
    std::uint32_t centralOffset = static_cast<std::uint32_t>(out.size());
    out.insert(out.end(), central.begin(), central.end());
    std::uint32_t count = static_cast<std::uint32_t>(items.size());
    if (count > 0xFFFF) {
        // More entries than the classic end record can count: zip64 end record and locator.
        std::uint32_t zip64At = static_cast<std::uint32_t>(out.size());
        Put32(out, 0x06064b50);
        Put32(out, 44);
        Put32(out, 0);
        Put16(out, 45);
        Put16(out, 45);
        Put32(out, 0);
        Put32(out, 0);
        for (std::uint32_t v : {count, count, static_cast<std::uint32_t>(central.size()), centralOffset}) {
            Put32(out, v);
            Put32(out, 0);
        }
        Put32(out, 0x07064b50);
        Put32(out, 0);
        Put32(out, zip64At);
        Put32(out, 0);
        Put32(out, 1);
    }
    Put32(out, 0x06054b50);
    Put16(out, 0);
    Put16(out, 0);
    Put16(out, count > 0xFFFF ? 0xFFFF : count);
    Put16(out, count > 0xFFFF ? 0xFFFF : count);
    Put32(out, static_cast<std::uint32_t>(central.size()));
    Put32(out, centralOffset);
    Put16(out, 0);
    return out;
}

std::vector<Item> SmallDeckItems() {
    const std::string decl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
    const std::string relNs = "http://schemas.openxmlformats.org/package/2006/relationships";
    const std::string r = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    std::vector<Item> items;
    items.push_back(
        {"[Content_Types].xml",
         decl + "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                "<Default Extension=\"rels\" "
                "ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
                "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
                "<Default Extension=\"png\" ContentType=\"image/png\"/>"
                "<Override PartName=\"/ppt/presentation.xml\" ContentType=\"application/"
                "vnd.openxmlformats-officedocument.presentationml.presentation.main+xml\"/>"
                "<Override PartName=\"/ppt/slides/slide1.xml\" ContentType=\"application/"
                "vnd.openxmlformats-officedocument.presentationml.slide+xml\"/>"
                "<Override PartName=\"/ppt/slideLayouts/slideLayout1.xml\" ContentType=\"application/"
                "vnd.openxmlformats-officedocument.presentationml.slideLayout+xml\"/>"
                "<Override PartName=\"/ppt/slideMasters/slideMaster1.xml\" ContentType=\"application/"
                "vnd.openxmlformats-officedocument.presentationml.slideMaster+xml\"/>"
                "<Override PartName=\"/docProps/core.xml\" ContentType=\"application/"
                "vnd.openxmlformats-package.core-properties+xml\"/>"
                "<Override PartName=\"/ppt/slides/slide9.xml\" ContentType=\"application/"
                "vnd.openxmlformats-officedocument.presentationml.slide+xml\"/>"
                "</Types>"});
    items.push_back(
        {"_rels/.rels", decl + "<Relationships xmlns=\"" + relNs + "\">" +
                            "<Relationship Id=\"rId1\" Type=\"" + r +
                            "officeDocument\" Target=\"ppt/presentation.xml\"/>"
                            "<Relationship Id=\"rId2\" Type=\"http://schemas.openxmlformats.org/package/2006/"
                            "relationships/metadata/core-properties\" Target=\"docProps/core.xml\"/>"
                            "</Relationships>"});
    items.push_back({"docProps/core.xml", decl + "<cp:coreProperties xmlns:cp=\"urn:cp\"/>"});
    items.push_back(
        {"ppt/presentation.xml",
         decl +
             "<p:presentation xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" "
             "xmlns:r=\"" +
             r.substr(0, r.size() - 1) +
             "\"><p:sldMasterIdLst><p:sldMasterId id=\"2147483648\" r:id=\"rId1\"/></p:sldMasterIdLst>"
             "<p:sldIdLst><p:sldId id=\"256\" r:id=\"rId2\"/></p:sldIdLst></p:presentation>"});
    items.push_back(
        {"ppt/_rels/presentation.xml.rels",
         decl + "<Relationships xmlns=\"" + relNs + "\"><Relationship Id=\"rId1\" Type=\"" + r +
             "slideMaster\" Target=\"slideMasters/slideMaster1.xml\"/><Relationship Id=\"rId2\" Type=\"" + r +
             "slide\" Target=\"slides/slide1.xml\"/></Relationships>"});
    items.push_back({"ppt/slides/slide1.xml",
                     decl +
                         "<p:sld xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" "
                         "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                         "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\" "
                         "xmlns:x15=\"urn:x15\" mc:Ignorable=\"x15\"><p:cSld><p:spTree>"
                         "<p:sp><p:txBody><a:p><a:r><a:t> </a:t></a:r><a:r><a:t>  two  spaces  </a:t></a:r>"
                         "<a:r><a:t>&lt;tag&gt; &amp; \xE3\x82\xAF</a:t></a:r></a:p></p:txBody></p:sp>"
                         "<!-- kept comment --><x15:unknown x15:attr=\"v\"><x15:child/></x15:unknown>"
                         "<mc:AlternateContent><mc:Choice Requires=\"x15\"><p:pic r:embed=\"rId2\" "
                         "xmlns:r=\"urn:r\"/></mc:Choice><mc:Fallback/></mc:AlternateContent>"
                         "</p:spTree></p:cSld></p:sld>"});
    items.push_back(
        {"ppt/slides/_rels/slide1.xml.rels",
         decl + "<Relationships xmlns=\"" + relNs + "\"><Relationship Id=\"rId1\" Type=\"" + r +
             "slideLayout\" Target=\"../slideLayouts/slideLayout1.xml\"/><Relationship Id=\"rId2\" "
             "Type=\"" +
             r + "image\" Target=\"../media/image1.png\"/><Relationship Id=\"rId3\" Type=\"" + r +
             "hyperlink\" Target=\"https://example.com/a?b=1&amp;c=2\" TargetMode=\"External\"/>"
             "</Relationships>"});
    items.push_back({"ppt/slideLayouts/slideLayout1.xml", decl + "<p:sldLayout xmlns:p=\"urn:p\"/>"});
    items.push_back({"ppt/slideLayouts/_rels/slideLayout1.xml.rels",
                     decl + "<Relationships xmlns=\"" + relNs + "\"><Relationship Id=\"rId1\" Type=\"" + r +
                         "slideMaster\" Target=\"../slideMasters/slideMaster1.xml\"/></Relationships>"});
    items.push_back({"ppt/slideMasters/slideMaster1.xml", decl + "<p:sldMaster xmlns:p=\"urn:p\"/>"});
    items.push_back({"ppt/slideMasters/_rels/slideMaster1.xml.rels",
                     decl + "<Relationships xmlns=\"" + relNs + "\"><Relationship Id=\"rId1\" Type=\"" + r +
                         "slideLayout\" Target=\"../slideLayouts/slideLayout1.xml\"/></Relationships>"});
    items.push_back({"ppt/media/image1.png", FakePng(3000, 7), false});
    // Reached by nothing: dropped on save, and so must be its Override.
    items.push_back({"ppt/slides/slide9.xml", decl + "<p:sld xmlns:p=\"urn:p\"/>"});
    items.push_back({"ppt/media/orphan.png", FakePng(500, 9), false});
    return items;
}

Bytes SmallDeck(const std::vector<Item>& extra) {
    auto items = SmallDeckItems();
    items.insert(items.end(), extra.begin(), extra.end());
    return BuildZip(items);
}

std::string FakePng(std::size_t size, unsigned seed) {
    std::string out = "\x89PNG\r\n\x1a\n";
    std::mt19937 gen(seed);
    while (out.size() < size)
        out += static_cast<char>(gen() & 0xFF);
    out.resize(size);
    return out;
}

std::string ToString(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

Bytes ToBytes(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read " + testsupport::Utf8(path));
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes ReadFile(const std::string& path) {
    return ReadFile(testsupport::PathOf(path));
}

void WriteFile(const std::filesystem::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + testsupport::Utf8(path));
}

void WriteFile(const std::string& path, const Bytes& bytes) {
    WriteFile(testsupport::PathOf(path), bytes);
}

std::vector<Entry> ReadZip(const Bytes& archive) {
    if (archive.size() < 22)
        throw std::runtime_error("too short");
    std::size_t eocd = archive.size() - 22;
    while (Get32(archive, eocd) != 0x06054b50) {
        if (eocd == 0)
            throw std::runtime_error("no end record");
        --eocd;
    }
    std::size_t count = Get16(archive, eocd + 10);
    std::size_t at = Get32(archive, eocd + 16);
    std::vector<Entry> entries;
    for (std::size_t i = 0; i < count; ++i) {
        if (Get32(archive, at) != 0x02014b50)
            throw std::runtime_error("bad central record");
        Entry entry;
        entry.method = static_cast<std::uint16_t>(Get16(archive, at + 10));
        std::uint32_t crc = Get32(archive, at + 16);
        std::size_t compSize = Get32(archive, at + 20);
        std::size_t size = Get32(archive, at + 24);
        std::size_t nameLen = Get16(archive, at + 28);
        std::size_t extraLen = Get16(archive, at + 30);
        std::size_t commentLen = Get16(archive, at + 32);
        std::size_t local = Get32(archive, at + 42);
        entry.name.assign(archive.begin() + static_cast<long>(at + 46),
                          archive.begin() + static_cast<long>(at + 46 + nameLen));
        if (Get32(archive, local) != 0x04034b50)
            throw std::runtime_error("bad local record");
        std::size_t dataAt = local + 30 + Get16(archive, local + 26) + Get16(archive, local + 28);
        if (dataAt + compSize > archive.size())
            throw std::runtime_error("entry beyond the end");
        std::string stored(archive.begin() + static_cast<long>(dataAt),
                           archive.begin() + static_cast<long>(dataAt + compSize));
        entry.stored = stored;
        if (entry.method == 8)
            entry.data = RawInflate(stored, size);
        else if (entry.method == 0)
            entry.data = stored;
        else
            throw std::runtime_error("unknown method");
        auto actualCrc = static_cast<std::uint32_t>(crc32(
            0, reinterpret_cast<const Bytef*>(entry.data.data()), static_cast<uInt>(entry.data.size())));
        if (actualCrc != crc)
            throw std::runtime_error("crc mismatch in " + entry.name);
        entries.push_back(std::move(entry));
        at += 46 + nameLen + extraLen + commentLen;
    }
    return entries;
}

} // namespace testzip
