#include "office/package/Package.h"

#include "automation/AutomationError.h"
#include "office/package/PackageImpl.h"
#include "office/package/PartNameKeys.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace office::package {

namespace {

const std::string kPartMember = "Package";

using automation::AutomationError;
using detail::PartKey;

std::string RootKey() {
    return PartKey("/");
}

bool IsOfficeDocumentType(std::string_view type) {
    return type == reltype::kOfficeDocument || type == reltype::kOfficeDocumentStrict;
}

// "rId12" -> 12; 0 for ids of another shape.
unsigned long RIdNumber(const std::string& id) {
    if (id.size() < 4 || detail::AsciiLower(id.substr(0, 3)) != "rid")
        return 0;
    unsigned long n = 0;
    for (std::size_t i = 3; i < id.size(); ++i) {
        if (id[i] < '0' || id[i] > '9' || n > 100000000ul)
            return 0;
        n = n * 10 + static_cast<unsigned long>(id[i] - '0');
    }
    return n;
}

} // namespace

// ---- Impl ----------------------------------------------------------------------------------------

void Package::Impl::Load(std::unique_ptr<detail::ArchiveReader> archive, const std::string& member) {
    reader = std::move(archive);
    const detail::ArchiveEntry* typesEntry = nullptr;
    for (const auto& entry : reader->Entries()) {
        std::string name = entry.name;
        std::replace(name.begin(), name.end(), '\\', '/');
        while (!name.empty() && name.front() == '/')
            name.erase(name.begin());
        if (name.empty() || name.back() == '/')
            continue; // folder entries carry no data
        std::string partName = "/" + name;
        std::string key = PartKey(partName);
        if (key == "/[content_types].xml") {
            if (typesEntry)
                throw AutomationError(member, "damaged package: [Content_Types].xml appears twice");
            typesEntry = &entry;
            continue;
        }
        if (auto source = detail::SourceOfRelsPart(partName)) {
            RelsState state;
            state.sourceName = *source;
            state.relsName = partName;
            state.entry = &entry;
            if (!rels.emplace(PartKey(*source), std::move(state)).second)
                throw AutomationError(member, "damaged package: duplicate entry " + partName);
            continue;
        }
        PartState part;
        part.name = partName;
        part.entry = &entry;
        part.order = nextOrder++;
        if (!parts.emplace(key, std::move(part)).second)
            throw AutomationError(member, "damaged package: duplicate entry " + partName);
    }
    if (!typesEntry)
        throw AutomationError(member, "not an OOXML package: [Content_Types].xml is missing");
    contentTypes = detail::ContentTypeMap::Parse(reader->Inflate(*typesEntry, member), member);

    const RelsState* root = LoadRels("/", member);
    if (!root)
        throw AutomationError(member, "not an OOXML package: package relationships are missing");
    for (const auto& rel : root->rels) {
        if (!rel.external && IsOfficeDocumentType(rel.type)) {
            mainPart = ResolvePartTarget("/", rel.target);
            break;
        }
    }
    if (mainPart.empty())
        throw AutomationError(member, "not an OOXML document: no main document relationship");
    const PartState* main = FindPart(mainPart);
    if (!main)
        throw AutomationError(member, "damaged package: main part " + mainPart + " is missing");
    mainPart = main->name;
    std::string mainType = ContentTypeOf(*main);
    if (!IsPresentationMainContentType(mainType))
        throw AutomationError(member, "not a presentation: the main part is of type '" + mainType + "'");
}

PartState* Package::Impl::FindPart(std::string_view name) {
    auto it = parts.find(PartKey(name));
    return it == parts.end() ? nullptr : &it->second;
}

const PartState* Package::Impl::FindPart(std::string_view name) const {
    auto it = parts.find(PartKey(name));
    return it == parts.end() ? nullptr : &it->second;
}

PartState& Package::Impl::RequirePart(std::string_view name, const std::string& member) {
    if (auto* part = FindPart(name))
        return *part;
    throw AutomationError(member, "no part named " + std::string(name));
}

const PartState& Package::Impl::RequirePart(std::string_view name, const std::string& member) const {
    if (const auto* part = FindPart(name))
        return *part;
    throw AutomationError(member, "no part named " + std::string(name));
}

RelsState* Package::Impl::LoadRels(std::string_view sourceName, const std::string& member) const {
    auto it = rels.find(PartKey(sourceName));
    if (it == rels.end())
        return nullptr;
    RelsState& state = it->second;
    if (!state.loaded) {
        if (state.entry)
            state.rels =
                detail::ParseRelationships(reader->Inflate(*state.entry, member), member, state.relsName);
        state.loaded = true;
    }
    return &state;
}

RelsState& Package::Impl::EditRels(std::string_view sourceName, const std::string& member) {
    std::string source(sourceName.empty() ? "/" : sourceName);
    if (source != "/")
        source = RequirePart(source, member).name;
    RelsState* state = LoadRels(source, member);
    if (!state) {
        RelsState fresh;
        fresh.sourceName = source;
        fresh.relsName = RelsPartNameFor(source);
        fresh.loaded = true;
        state = &rels.emplace(PartKey(source), std::move(fresh)).first->second;
    }
    state->modified = true;
    return *state;
}

Relationship Package::Impl::Resolved(const RelsState& state, const Relationship& rel) const {
    Relationship out = rel;
    if (!rel.external) {
        out.targetPart = ResolvePartTarget(state.sourceName, rel.target);
        if (const auto* part = FindPart(out.targetPart))
            out.targetPart = part->name;
    }
    return out;
}

Bytes Package::Impl::CurrentBytes(const PartState& part, const std::string& member) const {
    if (part.xmlDirty && part.xml)
        return detail::SerialiseXml(*part.xml);
    if (part.bytes)
        return *part.bytes;
    if (part.entry)
        return reader->Inflate(*part.entry, member);
    return {};
}

std::string Package::Impl::ContentTypeOf(const PartState& part) const {
    if (part.contentType)
        return *part.contentType;
    return contentTypes.Lookup(part.name);
}

std::vector<const PartState*> Package::Impl::Live(const std::string& member) const {
    std::vector<const PartState*> live;
    std::set<std::string> seen;
    std::vector<std::string> pending{"/"};
    while (!pending.empty()) {
        std::string source = std::move(pending.back());
        pending.pop_back();
        const RelsState* state = LoadRels(source, member);
        if (!state)
            continue;
        for (const auto& rel : state->rels) {
            if (rel.external)
                continue;
            const PartState* target = FindPart(ResolvePartTarget(state->sourceName, rel.target));
            if (!target)
                continue;
            std::string key = PartKey(target->name);
            if (seen.insert(key).second) {
                live.push_back(target);
                pending.push_back(target->name);
            }
        }
    }
    std::sort(live.begin(), live.end(),
              [](const PartState* a, const PartState* b) { return a->order < b->order; });
    return live;
}

// ---- Package -------------------------------------------------------------------------------------

Package::Package(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Package::~Package() = default;

std::unique_ptr<Package> Package::Open(const std::string& path, const std::string& member,
                                       const OpenLimits& limits) {
    auto impl = std::make_unique<Impl>();
    impl->sourcePath = path;
    impl->Load(std::make_unique<detail::ArchiveReader>(path, member, limits), member);
    return std::unique_ptr<Package>(new Package(std::move(impl)));
}

std::unique_ptr<Package> Package::OpenFromBytes(Bytes bytes, const std::string& member,
                                                const OpenLimits& limits) {
    auto impl = std::make_unique<Impl>();
    impl->Load(std::make_unique<detail::ArchiveReader>(std::move(bytes), member, limits), member);
    return std::unique_ptr<Package>(new Package(std::move(impl)));
}

const std::string& Package::SourcePath() const {
    return impl_->sourcePath;
}

std::string Package::MainPartName() const {
    return impl_->mainPart;
}

std::vector<std::string> Package::PartNames() const {
    std::vector<const PartState*> ordered;
    for (const auto& [key, part] : impl_->parts)
        ordered.push_back(&part);
    std::sort(ordered.begin(), ordered.end(),
              [](const PartState* a, const PartState* b) { return a->order < b->order; });
    std::vector<std::string> names;
    for (const auto* part : ordered)
        names.push_back(part->name);
    return names;
}

bool Package::HasPart(std::string_view partName) const {
    return impl_->FindPart(partName) != nullptr;
}

std::optional<std::string> Package::CanonicalName(std::string_view partName) const {
    if (const auto* part = impl_->FindPart(partName))
        return part->name;
    return std::nullopt;
}

std::string Package::ContentType(std::string_view partName) const {
    return impl_->ContentTypeOf(impl_->RequirePart(partName, kPartMember));
}

void Package::SetContentType(std::string_view partName, const std::string& contentType) {
    impl_->RequirePart(partName, kPartMember).contentType = contentType;
}

std::uint64_t Package::PartSize(std::string_view partName) const {
    const auto& part = impl_->RequirePart(partName, kPartMember);
    if (part.xmlDirty && part.xml)
        return detail::SerialiseXml(*part.xml).size();
    if (part.bytes)
        return part.bytes->size();
    return part.entry ? part.entry->size : 0;
}

Bytes Package::PartBytes(std::string_view partName) const {
    return impl_->CurrentBytes(impl_->RequirePart(partName, kPartMember), kPartMember);
}

void Package::SetPartBytes(std::string_view partName, Bytes bytes) {
    auto& part = impl_->RequirePart(partName, kPartMember);
    part.bytes = std::move(bytes);
    part.xml.reset();
    part.xmlDirty = false;
}

const pugi::xml_document& Package::XmlForRead(std::string_view partName) const {
    const auto& part = impl_->RequirePart(partName, kPartMember);
    if (!part.xml) {
        Bytes bytes = impl_->CurrentBytes(part, kPartMember);
        auto doc = std::make_unique<pugi::xml_document>();
        auto result = doc->load_buffer(bytes.data(), bytes.size(), detail::XmlParseOptions());
        if (!result)
            throw AutomationError(kPartMember, "malformed XML in part " + part.name + ": " +
                                                   result.description() + " at offset " +
                                                   std::to_string(result.offset));
        if (!doc->document_element())
            throw AutomationError(kPartMember, "part " + part.name + " holds no XML element");
        part.xml = std::move(doc);
    }
    return *part.xml;
}

pugi::xml_document& Package::XmlForEdit(std::string_view partName) {
    XmlForRead(partName);
    auto& part = impl_->RequirePart(partName, kPartMember);
    // The tree is written back as UTF-8 whatever the part was stored in.
    auto declaration = part.xml->first_child();
    if (declaration.type() == pugi::node_declaration) {
        if (auto encoding = declaration.attribute("encoding"))
            encoding.set_value("UTF-8");
    }
    part.xmlDirty = true;
    part.bytes.reset();
    return *part.xml;
}

bool Package::IsPartModified(std::string_view partName) const {
    return impl_->RequirePart(partName, kPartMember).Modified();
}

void Package::AddPart(const std::string& partName, const std::string& contentType, Bytes bytes) {
    if (!detail::IsValidNewPartName(partName))
        throw AutomationError(kPartMember, "invalid part name: " + partName);
    std::string key = PartKey(partName);
    if (impl_->parts.count(key))
        throw AutomationError(kPartMember, "part already exists: " + partName);
    if (contentType.empty())
        throw AutomationError(kPartMember, "no content type for new part " + partName);
    PartState part;
    part.name = partName;
    part.bytes = std::move(bytes);
    part.contentType = contentType;
    part.order = impl_->nextOrder++;
    impl_->parts.emplace(key, std::move(part));
    // Relationships left in the archive for a part of this name must not attach to the new one.
    impl_->rels.erase(key);
}

std::string Package::NextFreePartName(std::string_view prefix, std::string_view extension) const {
    std::string ext(extension);
    if (!ext.empty() && ext.front() != '.')
        ext.insert(ext.begin(), '.');
    // "image3" is taken by image3.png as well as image3.jpeg, as the usual numbering of media has it.
    const std::string stem = PartKey(prefix);
    std::set<unsigned long> taken;
    auto collect = [&](const std::string& key) {
        if (key.size() <= stem.size() || key.compare(0, stem.size(), stem) != 0)
            return;
        unsigned long n = 0;
        std::size_t i = stem.size();
        for (; i < key.size() && key[i] >= '0' && key[i] <= '9' && n < 100000000ul; ++i)
            n = n * 10 + static_cast<unsigned long>(key[i] - '0');
        if (i > stem.size() && (i == key.size() || key[i] == '.'))
            taken.insert(n);
    };
    for (const auto& [key, part] : impl_->parts)
        collect(key);
    for (const auto& [key, state] : impl_->rels)
        collect(key);
    unsigned long n = 1;
    while (taken.count(n))
        ++n;
    return std::string(prefix) + std::to_string(n) + ext;
}

std::string Package::AddPartWithUniqueName(std::string_view prefix, std::string_view extension,
                                           const std::string& contentType, Bytes bytes) {
    std::string name = NextFreePartName(prefix, extension);
    AddPart(name, contentType, std::move(bytes));
    return name;
}

void Package::RemovePart(std::string_view partName) {
    std::string key = PartKey(impl_->RequirePart(partName, kPartMember).name);
    impl_->parts.erase(key);
    impl_->rels.erase(key);
}

std::vector<Relationship> Package::Relationships(std::string_view sourcePart) const {
    std::string source(sourcePart.empty() ? "/" : sourcePart);
    if (source != "/")
        impl_->RequirePart(source, kPartMember);
    std::vector<Relationship> out;
    if (const RelsState* state = impl_->LoadRels(source, kPartMember)) {
        for (const auto& rel : state->rels)
            out.push_back(impl_->Resolved(*state, rel));
    }
    return out;
}

std::optional<Relationship> Package::FindRelationship(std::string_view sourcePart,
                                                      std::string_view id) const {
    for (auto& rel : Relationships(sourcePart)) {
        if (rel.id == id)
            return rel;
    }
    return std::nullopt;
}

std::vector<Relationship> Package::RelationshipsOfType(std::string_view sourcePart,
                                                       std::string_view type) const {
    std::vector<Relationship> out;
    for (auto& rel : Relationships(sourcePart)) {
        if (rel.type == type)
            out.push_back(std::move(rel));
    }
    return out;
}

namespace {

std::string FreshId(const std::vector<Relationship>& rels) {
    unsigned long highest = 0;
    for (const auto& rel : rels)
        highest = std::max(highest, RIdNumber(rel.id));
    for (unsigned long n = highest + 1;; ++n) {
        std::string id = "rId" + std::to_string(n);
        bool taken = std::any_of(rels.begin(), rels.end(), [&](const Relationship& r) { return r.id == id; });
        if (!taken)
            return id;
    }
}

} // namespace

std::string Package::AddRelationship(std::string_view sourcePart, const std::string& type,
                                     std::string_view targetPart) {
    const std::string target = impl_->RequirePart(targetPart, kPartMember).name;
    RelsState& state = impl_->EditRels(sourcePart, kPartMember);
    Relationship rel;
    rel.id = FreshId(state.rels);
    rel.type = type;
    rel.target = RelativePartTarget(state.sourceName, target);
    state.rels.push_back(rel);
    return rel.id;
}

std::string Package::AddExternalRelationship(std::string_view sourcePart, const std::string& type,
                                             const std::string& targetUri) {
    RelsState& state = impl_->EditRels(sourcePart, kPartMember);
    Relationship rel;
    rel.id = FreshId(state.rels);
    rel.type = type;
    rel.target = targetUri;
    rel.external = true;
    state.rels.push_back(rel);
    return rel.id;
}

void Package::SetRelationshipTarget(std::string_view sourcePart, std::string_view id,
                                    std::string_view targetPart) {
    const std::string target = impl_->RequirePart(targetPart, kPartMember).name;
    RelsState& state = impl_->EditRels(sourcePart, kPartMember);
    for (auto& rel : state.rels) {
        if (rel.id == id) {
            rel.target = RelativePartTarget(state.sourceName, target);
            rel.external = false;
            return;
        }
    }
    throw AutomationError(kPartMember, "no relationship " + std::string(id) + " in " + state.sourceName);
}

bool Package::RemoveRelationship(std::string_view sourcePart, std::string_view id) {
    std::string source(sourcePart.empty() ? "/" : sourcePart);
    if (!impl_->LoadRels(source, kPartMember))
        return false;
    RelsState& state = impl_->EditRels(source, kPartMember);
    auto it =
        std::find_if(state.rels.begin(), state.rels.end(), [&](const Relationship& r) { return r.id == id; });
    if (it == state.rels.end())
        return false;
    state.rels.erase(it);
    return true;
}

std::vector<std::pair<std::string, Relationship>>
Package::RelationshipsTo(std::string_view targetPart) const {
    std::vector<std::pair<std::string, Relationship>> out;
    const std::string key = PartKey(targetPart);
    for (const auto& [sourceKey, entry] : impl_->rels) {
        // Relationships of parts that no longer exist (or never did) are not parsed at all.
        if (sourceKey != RootKey() && !impl_->parts.count(sourceKey))
            continue;
        const RelsState* state = impl_->LoadRels(entry.sourceName, kPartMember);
        if (!state)
            continue;
        for (const auto& rel : state->rels) {
            if (!rel.external && PartKey(ResolvePartTarget(state->sourceName, rel.target)) == key)
                out.emplace_back(state->sourceName, impl_->Resolved(*state, rel));
        }
    }
    return out;
}

std::string Package::ResolveTarget(std::string_view sourcePart, std::string_view target) const {
    std::string resolved = ResolvePartTarget(sourcePart, target);
    if (const auto* part = impl_->FindPart(resolved))
        return part->name;
    return resolved;
}

std::vector<std::string> Package::LiveParts() const {
    std::vector<std::string> names;
    for (const auto* part : impl_->Live(kPartMember))
        names.push_back(part->name);
    return names;
}

} // namespace office::package
