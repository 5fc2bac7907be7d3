#pragma once

// An open .pptx/.pptm/.ppsx/.potx package: parts, their relationships and content types.
//
// Loading is lazy: a part is read from the archive (the file, or the bytes it was opened from) and
// inflated only when its bytes or its XML are asked for. Saving writes only the parts reachable from the
// package relationships, repacks them losslessly (SaveOptions::repack; an untouched part whose stored form is
// already the smallest is copied compressed as it is) and rebuilds [Content_Types].xml.
//
// Part names are absolute ("/ppt/slides/slide1.xml") and compared ASCII case-insensitively; the
// package relationships belong to the source "/". Every failure throws automation::AutomationError
// whose member is the one passed in (Open/SaveAs) or "Package" for part access. Not thread-safe.

#include "office/package/OpcTypes.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <pugixml.hpp>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace office::package {

using Bytes = std::vector<std::uint8_t>;

// The source name of the package-level relationships (/_rels/.rels).
inline constexpr const char* kPackageRoot = "/";

struct Relationship {
    std::string id;         // "rId3", unique within its source
    std::string type;       // relationship type URI
    std::string target;     // as written in the rels file (relative for internal targets)
    std::string targetPart; // absolute part name it resolves to; empty when external
    bool external = false;  // TargetMode="External": target is a URI, not a part
};

// Defences against hostile archives. The defaults fit every real deck with a wide margin.
struct OpenLimits {
    std::uint64_t maxEntries = 20000;
    std::uint64_t maxPartBytes = 512ull << 20; // inflated size of one part
    // Sum of declared inflated sizes. Nothing holds the whole deck (parts are read one at a time and
    // the save streams), so this only bounds the work a file may ask for; the ratio check below is
    // what stops a small archive that declares a lot.
    std::uint64_t maxTotalBytes = 16ull << 30;
    // Declared inflated total may exceed the archive size by at most this factor once it passes
    // ratioFloorBytes (small archives of text legitimately reach high ratios).
    std::uint64_t maxRatio = 200;
    std::uint64_t ratioFloorBytes = 64ull << 20;
};

struct SaveOptions {
    // Lossless repack: JPEGs re-encoded from their coefficients, PNGs refiltered, TIFF/BMP pictures as
    // PNG, identical pictures and media stored once, everything else deflated at the strongest level;
    // a new form is kept only when smaller, parts added by the caller are not re-encoded. Off: the
    // plain writer below, which copies untouched parts as they are stored.
    bool repack = true;
    // Without repack: zlib level for parts whose bytes changed or are new; untouched parts are copied
    // compressed. Over the corpus, editing every XML part and saving cost 3 % more processor time at level 6
    // than at 1 and gave 1.4 % smaller files, so 6 it is; new pictures are stored, not deflated.
    int deflateLevel = 6;
    // Inflated input the repack holds at once: parts are repacked and written in runs of about this
    // much, so that a deck of any size saves in bounded memory. A run of a few dozen camera photos
    // keeps both processor threads busy; every smaller deck is one run.
    std::uint64_t repackBatchBytes = 64ull << 20;
    // Repacked forms of untouched parts kept for the next save of the same package (see
    // Package::Impl::packedCache): enough for any scratch deck and small decks, not a deck of photos.
    std::uint64_t repackCacheBytes = 32ull << 20;
    // fsync the temporary file before the rename. Off by default: the rename is atomic either way,
    // and a flush costs more than the whole save of a scratch deck. Worth it for the final output.
    bool flushToDisk = false;
};

class Package {
public:
    // Opens a package from disk. The file stays open and is read as parts are asked for, never
    // written; renaming or removing it meanwhile changes nothing, changing it in place makes the reads
    // and the save fail ("the file changed while it was open"). Throws with a message saying what is
    // wrong: missing/unreadable, legacy binary or encrypted (compound file), not a ZIP, damaged ZIP,
    // zip bomb / too many entries, not a presentation package.
    static std::unique_ptr<Package> Open(const std::string& path,
                                         const std::string& member = "Presentations.Open",
                                         const OpenLimits& limits = {});
    // Same checks over bytes in memory (fuzzing, templates compiled into the program).
    static std::unique_ptr<Package> OpenFromBytes(Bytes bytes,
                                                  const std::string& member = "Presentations.Open",
                                                  const OpenLimits& limits = {});

    ~Package();
    Package(const Package&) = delete;
    Package& operator=(const Package&) = delete;

    // The path given to Open; empty for packages opened from bytes.
    const std::string& SourcePath() const;
    // The main presentation part found through the officeDocument relationship of "/".
    std::string MainPartName() const;

    // ---- parts -----------------------------------------------------------------------------
    // Every part present (not only live ones), in archive order then in order of addition;
    // excludes [Content_Types].xml and rels files. Names as stored (original case).
    std::vector<std::string> PartNames() const;
    bool HasPart(std::string_view partName) const;
    // The stored spelling of a part name, or nullopt when the package has no such part.
    std::optional<std::string> CanonicalName(std::string_view partName) const;
    // Override for the part name, else the Default for its extension; empty when neither exists.
    std::string ContentType(std::string_view partName) const;
    void SetContentType(std::string_view partName, const std::string& contentType);
    // Inflated size of the part's current content (declared size for untouched parts).
    std::uint64_t PartSize(std::string_view partName) const;

    // Current bytes of a part (serialises its XML when it was edited).
    Bytes PartBytes(std::string_view partName) const;
    // Replaces the content; a parsed XML tree of the part is dropped.
    void SetPartBytes(std::string_view partName, Bytes bytes);

    // Parsed XML of a part, parsed on first use with whitespace-only text kept, so a round trip
    // preserves text, unknown elements, namespaces and mc:AlternateContent. Throws on malformed XML.
    // XmlForRead does not mark the part changed; do not modify the tree it returns.
    const pugi::xml_document& XmlForRead(std::string_view partName) const;
    // Mutable tree; the part counts as changed from now on and is re-serialised on save.
    pugi::xml_document& XmlForEdit(std::string_view partName);
    // True when the part's bytes will be written anew on save (edited, replaced or added).
    bool IsPartModified(std::string_view partName) const;

    // Adds a part; throws when the name is taken (case-insensitively) or is not a valid part name.
    void AddPart(const std::string& partName, const std::string& contentType, Bytes bytes);
    // "/ppt/media/image" + ".png" -> "/ppt/media/image7.png": the lowest N >= 1 that no part uses
    // with any extension (image3.jpeg takes 3 from image3.png too).
    std::string NextFreePartName(std::string_view prefix, std::string_view extension) const;
    // NextFreePartName + AddPart; returns the new name.
    std::string AddPartWithUniqueName(std::string_view prefix, std::string_view extension,
                                      const std::string& contentType, Bytes bytes);
    // A picture part under /ppt/ ("image/..." content type, no relationships of its own) holding exactly
    // these bytes, or nullopt. A part no relationship reaches counts too: linking it makes it live again.
    std::optional<std::string> FindIdenticalPicture(std::string_view contentType,
                                                    std::span<const std::uint8_t> bytes) const;
    // The identical picture part when there is one (a picture is stored once however often it is
    // shown), else AddPartWithUniqueName. Parts of other content types are always added.
    std::string AddPictureOnce(std::string_view prefix, std::string_view extension,
                               const std::string& contentType, Bytes bytes);
    // Removes the part and its own relationships. Relationships pointing at it are left alone (they
    // dangle until the caller removes them); a part no relationship reaches is dropped on save anyway.
    void RemovePart(std::string_view partName);

    // ---- relationships ---------------------------------------------------------------------
    // Relationships whose source is the part (or kPackageRoot). Empty when it has none; throws when
    // the part does not exist or its rels part is malformed. Add/SetTarget/Remove throw alike.
    std::vector<Relationship> Relationships(std::string_view sourcePart) const;
    std::optional<Relationship> FindRelationship(std::string_view sourcePart, std::string_view id) const;
    std::vector<Relationship> RelationshipsOfType(std::string_view sourcePart, std::string_view type) const;
    // Adds a relationship to an internal part (absolute name; written relative to the source) and
    // returns its new id, "rIdN" with N one above the highest rIdN in use.
    std::string AddRelationship(std::string_view sourcePart, const std::string& type,
                                std::string_view targetPart);
    // Adds a TargetMode="External" relationship whose target is kept verbatim.
    std::string AddExternalRelationship(std::string_view sourcePart, const std::string& type,
                                        const std::string& targetUri);
    // Points an existing internal relationship at another part. Throws when the id is unknown.
    void SetRelationshipTarget(std::string_view sourcePart, std::string_view id, std::string_view targetPart);
    // Returns false when no such relationship exists.
    bool RemoveRelationship(std::string_view sourcePart, std::string_view id);
    // Every internal relationship anywhere in the package that targets the part: (source, relationship).
    std::vector<std::pair<std::string, Relationship>> RelationshipsTo(std::string_view targetPart) const;
    // Absolute part name an internal target of this source resolves to.
    std::string ResolveTarget(std::string_view sourcePart, std::string_view target) const;

    // Parts reachable from "/" through internal relationships whose targets exist, in archive order.
    std::vector<std::string> LiveParts() const;

    // ---- saving ----------------------------------------------------------------------------
    // Writes the live parts atomically: a temporary file beside the target, then rename. On failure
    // nothing is left behind and the target is untouched. Never writes the file the package was
    // opened from unless asked to by path (the caller refuses that).
    void SaveAs(const std::string& path, const std::string& member = "Presentation.SaveAs",
                const SaveOptions& options = {}) const;
    // The archive SaveAs would write.
    Bytes SaveToBytes(const std::string& member = "Presentation.SaveAs",
                      const SaveOptions& options = {}) const;

private:
    class Impl;
    explicit Package(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

// ---- part-name helpers (pure functions) --------------------------------------------------------

// Resolves a relationship target against its source part: "../media/image1.png" from
// "/ppt/slides/slide1.xml" -> "/ppt/media/image1.png"; absolute targets stay; "." and ".." folded.
std::string ResolvePartTarget(std::string_view sourcePart, std::string_view target);
// The shortest relative target from a source part to a part ("../media/image1.png").
std::string RelativePartTarget(std::string_view sourcePart, std::string_view targetPart);
// "/ppt/slides/slide1.xml" -> "/ppt/slides/_rels/slide1.xml.rels"; "/" -> "/_rels/.rels".
std::string RelsPartNameFor(std::string_view sourcePart);
// Lower-case extension without the dot ("png"); empty when none.
std::string PartExtension(std::string_view partName);
// Main-part content type for a file extension ("pptx", ".pptm", "ppsx", "potx", ...); empty if unknown.
std::string MainContentTypeForExtension(std::string_view extension);
// True for the main content types of presentations, slide shows and templates (macro or not).
bool IsPresentationMainContentType(std::string_view contentType);

} // namespace office::package
