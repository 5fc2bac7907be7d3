#pragma once

// Shared assertions for "open, save unchanged, reopen": what a saved package must keep.

#include "TestImages.h"
#include "TestZip.h"
#include "office/package/Package.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string>

namespace roundtrip {

inline bool LooksLikeXml(const std::string& contentType) {
    return contentType.size() >= 3 && contentType.compare(contentType.size() - 3, 3, "xml") == 0;
}

// The same picture, or the same embedded package: every entry with the same bytes or pixels.
inline bool SameContent(const testzip::Bytes& before, const testzip::Bytes& after) {
    if (before == after)
        return true;
    if (before.size() < 2 || before[0] != 'P' || before[1] != 'K')
        return testimages::SamePixels(before, after);
    std::vector<testzip::Entry> was, now;
    try {
        was = testzip::ReadZip(before);
        now = testzip::ReadZip(after);
    } catch (const std::exception&) {
        return false;
    }
    if (was.size() != now.size())
        return false;
    std::map<std::string, const testzip::Entry*> byName;
    for (const auto& e : now)
        byName[e.name] = &e;
    for (const auto& e : was) {
        auto it = byName.find(e.name);
        if (it == byName.end() || !SameContent(testzip::ToBytes(e.data), testzip::ToBytes(it->second->data)))
            return false;
    }
    return true;
}

// Compares the saved archive with the package it came from.
inline void ExpectFaithfulCopy(const office::package::Package& original, const testzip::Bytes& saved) {
    using office::package::Package;
    // An independent reader first: order, no duplicates, all entries inflate with correct CRCs.
    std::vector<testzip::Entry> entries;
    ASSERT_NO_THROW(entries = testzip::ReadZip(saved));
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().name, "[Content_Types].xml");
    std::set<std::string> names;
    for (const auto& e : entries)
        EXPECT_TRUE(names.insert(e.name).second) << "duplicate entry " << e.name;

    auto copy = Package::OpenFromBytes(saved);
    auto live = original.LiveParts();
    EXPECT_EQ(copy->MainPartName(), original.MainPartName());

    // Where each live part went, found through the relationships reaching it: pictures may be
    // renamed (a TIFF becomes a PNG) or merged with an identical one.
    std::map<std::string, std::string> where;
    std::vector<std::string> sources{"/"};
    sources.insert(sources.end(), live.begin(), live.end());
    for (const auto& source : sources) {
        for (const auto& rel : original.Relationships(source)) {
            if (rel.external || !original.HasPart(rel.targetPart))
                continue;
            auto after = copy->FindRelationship(source, rel.id);
            ASSERT_TRUE(after.has_value()) << source << " lost " << rel.id;
            auto [it, fresh] = where.emplace(rel.targetPart, after->targetPart);
            EXPECT_EQ(it->second, after->targetPart) << "one part went to two places: " << rel.targetPart;
        }
    }
    std::set<std::string> expected;
    for (const auto& name : live)
        expected.insert(where[name]);
    auto saved_names = copy->PartNames();
    EXPECT_EQ(std::set<std::string>(saved_names.begin(), saved_names.end()), expected)
        << "saved parts differ from the live parts";
    EXPECT_EQ(copy->LiveParts(), copy->PartNames()) << "saved package holds unreachable parts";

    for (const auto& name : live) {
        SCOPED_TRACE(name);
        const std::string& target = where[name];
        ASSERT_TRUE(copy->HasPart(target));
        const auto before = original.PartBytes(name), after = copy->PartBytes(target);
        EXPECT_TRUE(SameContent(before, after)) << "bytes changed, and not to the same picture or package";
        std::string type = copy->ContentType(target);
        EXPECT_FALSE(type.empty()) << "no content type";
        std::string was = original.ContentType(name);
        if (!was.empty()) {
            EXPECT_TRUE(type == was || (target != name && type == "image/png")) << type << " was " << was;
        }
        if (LooksLikeXml(type)) {
            bool wasWellFormed = true;
            try {
                original.XmlForRead(name);
            } catch (const std::exception&) {
                wasWellFormed = false;
            }
            if (wasWellFormed) {
                EXPECT_NO_THROW(copy->XmlForRead(target));
            }
        }
        // Relationships are kept one for one; none dangles that did not dangle before.
        auto relsBefore = original.Relationships(name);
        auto relsAfter = copy->Relationships(target);
        ASSERT_EQ(relsAfter.size(), relsBefore.size());
        for (std::size_t i = 0; i < relsAfter.size(); ++i) {
            EXPECT_EQ(relsAfter[i].id, relsBefore[i].id);
            EXPECT_EQ(relsAfter[i].external, relsBefore[i].external);
            if (relsBefore[i].external || !original.HasPart(relsBefore[i].targetPart)) {
                EXPECT_EQ(relsAfter[i].target, relsBefore[i].target);
                EXPECT_FALSE(!relsAfter[i].external && copy->HasPart(relsAfter[i].targetPart) &&
                             !original.HasPart(relsBefore[i].targetPart))
                    << "a dangling relationship now reaches a part";
            } else {
                EXPECT_EQ(relsAfter[i].targetPart, where[relsBefore[i].targetPart]);
            }
        }
    }
    EXPECT_EQ(copy->Relationships("/").size(), original.Relationships("/").size());
}

} // namespace roundtrip

#include <algorithm>
#include <filesystem>

namespace roundtrip {

// The OOXML presentations of the corpus folder, sorted by name; empty when the folder is absent.
inline std::vector<std::filesystem::path> CorpusDecks() {
    std::vector<std::filesystem::path> decks;
    const std::filesystem::path corpus = QUARNEL_CORPUS;
    std::error_code ec;
    if (!std::filesystem::is_directory(corpus, ec))
        return decks;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::string ext = entry.path().extension().string();
        if (ext == ".pptx" || ext == ".pptm" || ext == ".potx" || ext == ".ppsx")
            decks.push_back(entry.path());
    }
    std::sort(decks.begin(), decks.end());
    return decks;
}

// Opens a corpus deck, saves it unchanged and checks the copy; the input must stay byte-identical.
inline void RoundTripFile(const std::filesystem::path& path) {
    SCOPED_TRACE(path.filename().string());
    auto before = testzip::ReadFile(path.string());
    std::unique_ptr<office::package::Package> pkg;
    try {
        pkg = office::package::Package::Open(path.string());
    } catch (const std::exception& e) {
        ADD_FAILURE() << "cannot open: " << e.what();
        return;
    }
    testzip::Bytes saved;
    ASSERT_NO_THROW(saved = pkg->SaveToBytes());
    ExpectFaithfulCopy(*pkg, saved);
    // The slide list of the main part survives.
    auto copy = office::package::Package::OpenFromBytes(saved);
    auto slides = [](const office::package::Package& p) {
        std::vector<std::string> names;
        for (const auto& rel : p.RelationshipsOfType(p.MainPartName(), office::package::reltype::kSlide))
            names.push_back(rel.targetPart);
        return names;
    };
    EXPECT_EQ(slides(*copy), slides(*pkg));
    EXPECT_TRUE(testzip::ReadFile(path.string()) == before) << "input changed";
}

} // namespace roundtrip
