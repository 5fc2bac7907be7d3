#pragma once

// State behind Package, shared by the files that implement it.

#include "office/package/ArchiveReader.h"
#include "office/package/ArchiveSink.h"
#include "office/package/Package.h"
#include "office/package/PackageXml.h"
#include "office/package/ZipWriter.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace office::package {

struct PartState {
    std::string name;                                // stored spelling, with a leading slash
    const detail::ArchiveEntry* entry = nullptr;     // original data, if the part came from the archive
    std::optional<Bytes> bytes;                      // replaced or added content
    mutable std::unique_ptr<pugi::xml_document> xml; // parsed on demand
    bool xmlDirty = false;                           // xml supersedes every other content
    std::optional<std::string> contentType;          // set after opening; else [Content_Types].xml decides
    std::uint64_t order = 0;                         // archive order, then order of addition

    bool Modified() const { return entry == nullptr || bytes.has_value() || xmlDirty; }
};

struct RelsState {
    std::string sourceName; // "/" or the source part's name
    std::string relsName;   // "/ppt/slides/_rels/slide1.xml.rels"
    const detail::ArchiveEntry* entry = nullptr;
    bool loaded = false;
    bool modified = false;
    std::vector<Relationship> rels; // targetPart is filled in on the way out
};

namespace detail {
// A part's data in its final form for the archive.
struct PackedPart {
    std::uint16_t method = 0; // 0 stored, 8 deflate
    std::uint32_t crc = 0;
    std::uint64_t size = 0; // inflated
    std::shared_ptr<const Bytes> data;
    std::string newExtension; // set when the part changed format (a TIFF became a PNG)
};
} // namespace detail

class Package::Impl {
public:
    std::string sourcePath;
    std::unique_ptr<detail::ArchiveReader> reader;
    detail::ContentTypeMap contentTypes;
    std::map<std::string, PartState> parts;        // by PartKey
    mutable std::map<std::string, RelsState> rels; // by PartKey of the source ("/" for the package)
    std::uint64_t nextOrder = 0;
    std::string mainPart;

    void Load(std::unique_ptr<detail::ArchiveReader> archive, const std::string& member);

    PartState* FindPart(std::string_view name);
    const PartState* FindPart(std::string_view name) const;
    PartState& RequirePart(std::string_view name, const std::string& member);
    const PartState& RequirePart(std::string_view name, const std::string& member) const;

    // Relationships of a source, read from the archive on first use. Null when the source has none.
    RelsState* LoadRels(std::string_view sourceName, const std::string& member) const;
    // As LoadRels, creating an empty set for an existing source; marks it modified.
    RelsState& EditRels(std::string_view sourceName, const std::string& member);
    Relationship Resolved(const RelsState& state, const Relationship& rel) const;

    Bytes CurrentBytes(const PartState& part, const std::string& member) const;
    std::string ContentTypeOf(const PartState& part) const;
    // Live parts in output order.
    std::vector<const PartState*> Live(const std::string& member) const;

    // Repack outcomes of untouched archive entries by entry index (null: the stored data stays), so
    // that saving the same package again (the scratch deck, once per measured shape) redoes nothing.
    // Outcomes with data are kept up to SaveOptions::repackCacheBytes in all, so that a deck of big
    // pictures is not held a second time.
    mutable std::map<std::uint64_t, std::shared_ptr<const detail::PackedPart>> packedCache;
    mutable std::uint64_t packedCacheBytes = 0;
    void RememberPacked(std::uint64_t entryIndex, std::shared_ptr<const detail::PackedPart> packed,
                        const SaveOptions& options) const;

    // The archive into the sink, parts in their smallest lossless form (see SaveOptions::repack) when
    // that fits the classic ZIP format, else as WritePlain writes it.
    void WriteArchive(detail::ArchiveSink& sink, const std::string& member, const SaveOptions& options) const;
    // False, with the sink to be cleared, when the archive outgrows the classic ZIP format.
    bool WriteRepacked(detail::ArchiveSink& sink, const std::string& member,
                       const SaveOptions& options) const;
    // Untouched parts copied as stored, the others deflated at SaveOptions::deflateLevel; Zip64 when needed.
    void WritePlain(detail::ArchiveSink& sink, const std::string& member, const SaveOptions& options) const;
};

} // namespace office::package
