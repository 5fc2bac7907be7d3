#include "automation/AutomationError.h"
#include "office/package/EmbeddedPackage.h"
#include "office/package/PackageImpl.h"
#include "office/package/PartNameKeys.h"
#include "office/package/PartPacking.h"
#include "office/repack/Deflate.h"
#include "office/repack/JpegRepack.h"
#include "office/repack/ParallelFor.h"
#include "office/repack/PictureToPng.h"
#include "office/repack/PngRepack.h"

#include <optional>
#include <set>

namespace office::package {

namespace {

using detail::DeflateOrStore;
using detail::Packed;
using detail::PackedPart;
using detail::PackReencoded;
using detail::PartKey;
using detail::StoreOrDeflateMedia;

enum class Action { Copy, Store, Deflate, Media, Jpeg, Png, Tiff, Bmp };

// What a job came to, without its data: enough to tell whether running it again gave the same.
struct Outcome {
    bool packed = false; // false: the stored data stays
    std::uint16_t method = 0;
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::uint64_t storedSize = 0;
    std::string newExtension;

    static Outcome Of(const std::shared_ptr<const PackedPart>& result) {
        if (!result)
            return {};
        return {true, result->method, result->crc, result->size, result->data->size(), result->newExtension};
    }
    bool operator==(const Outcome&) const = default;
};

struct Job {
    std::string source; // the part's name in the package ("/" for the package rels)
    std::string name;   // output name, with a leading slash
    Action action = Action::Copy;
    const PartState* part = nullptr;             // where the input comes from (not for rels)
    const detail::ArchiveEntry* entry = nullptr; // set when the data may be copied as stored
    std::shared_ptr<const Bytes> input;          // inflated bytes while the job runs; null for Copy
    std::shared_ptr<const PackedPart> result;    // null: copy the stored data
    bool ran = false;                            // result is the outcome of action
    // A conversion that named its part before the writing began but whose data was not kept: run again
    // when the part is written, and it must come out as it did.
    std::optional<Outcome> expected;
};

constexpr unsigned kMaxThreads = 4;
constexpr const char* kPngContentType = "image/png";

// Runs on a worker thread: every codec reports failure by returning nothing, never by throwing, and
// a failure leaves the stored data as it was.
void Run(Job& job) {
    const auto& input = job.input;
    switch (job.action) {
    case Action::Copy:
        return;
    case Action::Store:
        job.result = Packed(0, input, repack::Crc32(*input), input->size());
        break;
    case Action::Deflate:
    case Action::Media:
        // Packages embedded in the deck are known by their content, whatever their name says.
        if (auto package = detail::RepackEmbeddedPackage(*input))
            job.result = PackReencoded(std::move(package), input);
        else
            job.result = job.action == Action::Deflate ? DeflateOrStore(input) : StoreOrDeflateMedia(input);
        break;
    case Action::Jpeg:
        job.result = PackReencoded(repack::RepackJpeg(*input), input);
        break;
    case Action::Png:
        job.result = PackReencoded(repack::RepackPng(*input), input);
        break;
    case Action::Tiff:
        job.result = PackReencoded(repack::TiffToPng(*input), input, "png");
        break;
    case Action::Bmp:
        job.result = PackReencoded(repack::BmpToPng(*input), input, "png");
        break;
    }
    // A new form of an untouched part must beat what the archive already stores.
    if (job.entry && job.result && job.result->data->size() >= job.entry->compSize)
        job.result = nullptr;
}

void RunAll(const std::vector<Job*>& jobs) {
    // Threads pay off only for real work: a scratch-deck save has a few small XML parts to deflate,
    // and a new thread would first have to build its own compressors. A PNG costs what its samples
    // weigh: a flat 3500-pixel square stores in 80 KB and takes seconds to filter and deflate.
    constexpr std::size_t kWorthThreads = 512u << 10;
    std::uint64_t work = 0;
    for (const Job* job : jobs)
        if (job->input && job->action != Action::Store)
            work += job->action == Action::Png
                        ? std::max<std::uint64_t>(job->input->size(), repack::PngSampleBytes(*job->input))
                        : job->input->size();
    repack::ParallelFor(jobs.size(), work >= kWorthThreads ? kMaxThreads : 1, [&](std::size_t i) {
        try {
            Run(*jobs[i]);
        } catch (...) {
            jobs[i]->result = nullptr; // out of memory in a codec: the part is copied as it was
        }
        jobs[i]->ran = true;
    });
}

void RunAll(std::vector<Job>& jobs) {
    std::vector<Job*> all;
    for (auto& job : jobs)
        all.push_back(&job);
    RunAll(all);
}

// Only conversions to another format rename their part, which [Content_Types].xml, written first,
// has to know.
bool Renames(Action action) {
    return action == Action::Tiff || action == Action::Bmp;
}

bool CopyableAsStored(const detail::ArchiveEntry& entry) {
    return entry.crcKnown && (entry.method == 0 || entry.method == 8);
}

bool IsOneOf(std::string_view value, std::initializer_list<std::string_view> options) {
    for (auto option : options)
        if (value == option)
            return true;
    return false;
}

// What to do with an untouched part from the archive, by content type and extension.
Action ActionForArchivePart(const PartState& part, const std::string& type) {
    const std::string ext = PartExtension(part.name);
    if (type == "image/jpeg" || (type.empty() && IsOneOf(ext, {"jpg", "jpeg", "jpe"})))
        return Action::Jpeg;
    if (type == kPngContentType)
        return Action::Png;
    if (type == "image/tiff")
        return Action::Tiff;
    if (type == "image/bmp")
        return Action::Bmp;
    return detail::IsAlreadyCompressed(part.name) ? Action::Media : Action::Deflate;
}

// Sharing one part between several relationships is what office applications do with pictures and
// media; embedded objects and XML are edited through one shape and must stay apart.
bool ShareableType(const std::string& contentType) {
    return contentType.starts_with("image/") || contentType.starts_with("video/") ||
           contentType.starts_with("audio/");
}

bool ShareableRelationship(std::string_view type) {
    return type.ends_with("/relationships/image") || type.ends_with("/relationships/video") ||
           type.ends_with("/relationships/audio") || type.ends_with("/relationships/media") ||
           type.ends_with("/relationships/hdphoto");
}

// "/ppt/media/image5.tiff" -> "/ppt/media/image5.png", or "image5_2.png" with suffix 2.
std::string ReplaceExtension(const std::string& name, const std::string& extension, int suffix) {
    const auto slash = name.rfind('/');
    const auto dot = name.rfind('.');
    const std::string stem = (dot != std::string::npos && dot > slash) ? name.substr(0, dot) : name;
    return stem + (suffix ? "_" + std::to_string(suffix) : std::string()) + "." + extension;
}

} // namespace

void Package::Impl::RememberPacked(std::uint64_t entryIndex, std::shared_ptr<const PackedPart> packed,
                                   const SaveOptions& options) const {
    auto [slot, added] = packedCache.try_emplace(entryIndex);
    const std::uint64_t before = !added && slot->second ? slot->second->data->size() : 0;
    const std::uint64_t after = packed ? packed->data->size() : 0;
    if (packedCacheBytes - before + after > options.repackCacheBytes) {
        if (added)
            packedCache.erase(slot);
        return;
    }
    packedCacheBytes = packedCacheBytes - before + after;
    slot->second = std::move(packed);
}

bool Package::Impl::WriteRepacked(detail::ArchiveSink& sink, const std::string& member,
                                  const SaveOptions& options) const {
    const auto live = Live(member);

    // Relationship types reaching each part, to know which parts may be shared.
    std::map<std::string, std::vector<std::string>> incoming;
    auto noteIncoming = [&](const std::string& source) {
        if (const RelsState* state = LoadRels(source, member))
            for (const auto& rel : state->rels)
                if (!rel.external)
                    incoming[PartKey(ResolvePartTarget(state->sourceName, rel.target))].push_back(rel.type);
    };
    noteIncoming("/");
    for (const auto* part : live)
        noteIncoming(part->name);

    // A part's current bytes; new content is lent, not copied. Read anew each time it is asked for, so
    // that no more than the parts at hand are ever in memory.
    auto bytesOf = [&](const PartState& part) {
        if (part.bytes && !part.xmlDirty)
            return std::shared_ptr<const Bytes>(std::shared_ptr<const Bytes>(), &*part.bytes);
        return std::make_shared<const Bytes>(CurrentBytes(part, member));
    };

    // Parts with identical bytes: the first in archive order stays, the others' relationships follow it.
    std::map<std::string, std::string> redirect; // PartKey -> output name of the part written instead
    std::map<std::pair<std::uint64_t, std::uint32_t>, std::vector<const PartState*>> bySizeAndCrc;
    for (const auto* part : live) {
        std::string type = ContentTypeOf(*part);
        const RelsState* own = LoadRels(part->name, member);
        if (part->xmlDirty || !ShareableType(type) || (own && !own->rels.empty()))
            continue;
        bool shareable = true;
        for (const auto& relType : incoming[PartKey(part->name)])
            shareable = shareable && ShareableRelationship(relType);
        if (!shareable)
            continue;
        std::shared_ptr<const Bytes> mine;
        auto partBytes = [&] {
            if (!mine)
                mine = bytesOf(*part);
            return mine;
        };
        std::pair<std::uint64_t, std::uint32_t> key;
        if (!part->Modified() && part->entry->crcKnown)
            key = {part->entry->size, part->entry->crc};
        else
            key = {partBytes()->size(), repack::Crc32(*partBytes())};
        auto& same = bySizeAndCrc[key];
        bool merged = false;
        for (const auto* first : same) {
            if (*bytesOf(*first) == *partBytes()) {
                redirect[PartKey(part->name)] = first->name;
                merged = true;
                break;
            }
        }
        if (!merged)
            same.push_back(part);
    }

    // One job per written part; untouched parts reuse the outcome of an earlier save.
    std::vector<Job> jobs;
    for (const auto* part : live) {
        if (redirect.count(PartKey(part->name)))
            continue;
        Job job;
        job.source = job.name = part->name;
        job.part = part;
        std::string type = ContentTypeOf(*part);
        if (!part->Modified()) {
            job.entry = CopyableAsStored(*part->entry) ? part->entry : nullptr;
            if (auto cached = packedCache.find(part->entry->index); cached != packedCache.end()) {
                job.result = cached->second;
                job.action = Action::Copy;
                if (job.entry || job.result) {
                    jobs.push_back(std::move(job));
                    continue;
                }
            }
            job.action = ActionForArchivePart(*part, type);
        } else {
            job.action = detail::IsAlreadyCompressed(part->name) ? Action::Store : Action::Deflate;
        }
        jobs.push_back(std::move(job));
    }

    // Jobs run in runs of about repackBatchBytes of input, read just before; a run's outcomes are
    // written (or remembered) and let go before the next run is read.
    auto inputSize = [](const Job& job) -> std::uint64_t {
        const PartState& part = *job.part;
        if (part.bytes && !part.xmlDirty)
            return part.bytes->size();
        return part.entry && !part.xmlDirty ? part.entry->size : 0;
    };
    auto runBatch = [&](const std::vector<Job*>& batch) {
        std::vector<Job*> pending;
        for (Job* job : batch) {
            if (job->action == Action::Copy || job->ran)
                continue;
            job->input = bytesOf(*job->part);
            pending.push_back(job);
        }
        RunAll(pending);
        for (Job* job : pending) {
            job->input.reset();
            if (!job->part->Modified())
                RememberPacked(job->part->entry->index, job->result, options); // null: the stored data wins
        }
    };
    auto forEachBatch = [&](const std::vector<Job*>& candidates, auto&& handle) {
        std::vector<Job*> batch;
        std::uint64_t held = 0;
        for (Job* job : candidates) {
            const std::uint64_t size = job->action == Action::Copy || job->ran ? 0 : inputSize(*job);
            if (!batch.empty() && held + size > options.repackBatchBytes) {
                handle(batch);
                batch.clear();
                held = 0;
            }
            batch.push_back(job);
            held += size;
        }
        if (!batch.empty())
            handle(batch);
    };

    // Conversions first, since their new names go into [Content_Types].xml and the relationships. Their
    // outcomes wait for their turn to be written as long as they fit one run; beyond that only what they
    // came to is kept, and they run again when written.
    std::vector<Job*> renaming;
    for (auto& job : jobs)
        if (Renames(job.action))
            renaming.push_back(&job);
    std::uint64_t keptConverted = 0;
    forEachBatch(renaming, [&](const std::vector<Job*>& batch) {
        runBatch(batch);
        for (Job* job : batch) {
            const std::uint64_t size = job->result ? job->result->data->size() : 0;
            auto cached =
                job->part->Modified() ? packedCache.end() : packedCache.find(job->part->entry->index);
            if (cached != packedCache.end() && cached->second == job->result)
                continue; // held by the cache anyway
            if (keptConverted + size <= options.repackBatchBytes) {
                keptConverted += size;
                continue;
            }
            job->expected = Outcome::Of(job->result);
            job->result.reset();
            job->ran = false;
        }
    });

    // Converted pictures take a free name with their new extension.
    std::set<std::string> taken;
    for (const auto& [key, part] : parts)
        taken.insert(key);
    std::vector<detail::WrittenPart> written;
    for (auto& job : jobs) {
        const PartState& part = *job.part;
        std::string type = ContentTypeOf(part);
        if (type.empty())
            type = detail::FallbackContentType(part.name, contentTypes);
        const std::string newExtension = job.expected ? job.expected->newExtension
                                         : job.result ? job.result->newExtension
                                                      : std::string();
        if (!newExtension.empty()) {
            std::string candidate = ReplaceExtension(part.name, newExtension, 0);
            for (int n = 2; taken.count(PartKey(candidate)); ++n)
                candidate = ReplaceExtension(part.name, newExtension, n);
            taken.insert(PartKey(candidate));
            redirect[PartKey(part.name)] = candidate;
            job.name = candidate;
            type = kPngContentType;
        }
        written.push_back({job.name, type});
    }

    // Relationship parts, rewritten where a target moved, then [Content_Types].xml.
    std::vector<Job> relsJobs;
    std::vector<std::size_t> relsAfter; // index in jobs after which each rels part goes; SIZE_MAX: first
    auto addRels = [&](const std::string& source, std::size_t after) {
        const RelsState* state = LoadRels(source, member);
        if (!state || state->rels.empty())
            return;
        bool moved = false;
        std::vector<Relationship> rewritten = state->rels;
        for (auto& rel : rewritten) {
            if (rel.external)
                continue;
            std::string target = ResolvePartTarget(state->sourceName, rel.target);
            // A duplicate of a picture that was converted follows it twice.
            bool follows = false;
            for (auto to = redirect.find(PartKey(target)); to != redirect.end();
                 to = redirect.find(PartKey(target))) {
                target = to->second;
                follows = true;
            }
            if (follows) {
                rel.target = RelativePartTarget(state->sourceName, target);
                moved = true;
            }
        }
        Job job;
        job.name = state->modified || !state->entry ? RelsPartNameFor(state->sourceName) : state->relsName;
        if (!moved && !state->modified && state->entry) {
            job.entry = CopyableAsStored(*state->entry) ? state->entry : nullptr;
            auto cached = packedCache.find(state->entry->index);
            if (cached != packedCache.end() && (job.entry || cached->second)) {
                job.result = cached->second;
            } else {
                job.action = Action::Deflate;
                job.input = std::make_shared<const Bytes>(reader->Inflate(*state->entry, member));
            }
        } else {
            job.action = Action::Deflate;
            job.input = std::make_shared<const Bytes>(detail::BuildRelationships(rewritten));
        }
        relsJobs.push_back(std::move(job));
        relsAfter.push_back(after);
    };
    addRels("/", SIZE_MAX);
    for (std::size_t i = 0; i < jobs.size(); ++i)
        addRels(jobs[i].source, i);
    Job types;
    types.name = "/[Content_Types].xml";
    types.action = Action::Deflate;
    types.input = std::make_shared<const Bytes>(detail::BuildContentTypes(written, contentTypes));
    relsJobs.push_back(std::move(types));
    relsAfter.push_back(SIZE_MAX);
    if (jobs.size() + relsJobs.size() >= 0xFFFF)
        return false; // more entries than the classic format counts
    RunAll(relsJobs);
    for (auto& job : relsJobs) {
        job.input.reset();
        if (job.entry && job.action != Action::Copy)
            RememberPacked(job.entry->index, job.result, options);
    }

    std::uint64_t offset = 0;
    detail::ZipStreamWriter zip([&](const std::uint8_t* data, std::size_t size) {
        sink.WriteAt(offset, data, size);
        offset += size;
    });
    auto write = [&](const Job& job) {
        const std::string name = job.name.substr(1);
        if (job.result) {
            const auto& packed = *job.result;
            if (!zip.Begin(name, packed.method, packed.crc, packed.size, packed.data->size()))
                return false;
            zip.Data(packed.data->data(), packed.data->size());
        } else {
            const auto& entry = *job.entry;
            if (!zip.Begin(name, static_cast<std::uint16_t>(entry.method), entry.crc, entry.size,
                           entry.compSize))
                return false;
            reader->CopyCompressed(entry, member,
                                   [&](const std::uint8_t* data, std::size_t size) { zip.Data(data, size); });
        }
        return true;
    };
    if (!write(relsJobs.back())) // [Content_Types].xml first
        return false;
    std::size_t nextRels = 0;
    auto writeRels = [&](std::size_t after) {
        while (nextRels + 1 < relsJobs.size() && relsAfter[nextRels] == after)
            if (!write(relsJobs[nextRels++]))
                return false;
        return true;
    };
    if (!writeRels(SIZE_MAX))
        return false;

    std::vector<Job*> all;
    for (auto& job : jobs)
        all.push_back(&job);
    bool fits = true;
    std::size_t at = 0;
    forEachBatch(all, [&](const std::vector<Job*>& batch) {
        if (!fits)
            return;
        runBatch(batch);
        for (Job* job : batch) {
            if (job->expected && Outcome::Of(job->result) != *job->expected)
                throw automation::AutomationError(member, "cannot write " + job->source +
                                                              ": its conversion came out differently twice");
            fits = fits && write(*job) && writeRels(at);
            ++at;
            job->result.reset();
            if (!fits)
                return;
        }
    });
    if (!fits)
        return false;
    zip.Finish();
    return true;
}

} // namespace office::package
