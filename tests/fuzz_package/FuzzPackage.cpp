// Fuzz target over opening a package from bytes, touching every part and saving it back. Built with
// -DQUARNEL_LIBFUZZER under libFuzzer; otherwise an ordinary program that runs the target over the
// files and folders named on its command line (the seed corpus in ctest).

#include "automation/AutomationError.h"
#include "office/package/Package.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

using office::package::Package;

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool EndsWithXml(const std::string& contentType) {
    return contentType.size() >= 3 && contentType.compare(contentType.size() - 3, 3, "xml") == 0;
}

void Exercise(const std::uint8_t* data, std::size_t size) {
    office::package::OpenLimits limits;
    limits.maxEntries = 4096;
    limits.maxPartBytes = 32u << 20;
    limits.maxTotalBytes = 128u << 20;
    std::unique_ptr<Package> pkg;
    try {
        pkg = Package::OpenFromBytes(office::package::Bytes(data, data + size), "Fuzz", limits);
    } catch (const automation::AutomationError&) {
        return;
    }
    try {
        for (const auto& name : pkg->PartNames()) {
            std::string type = pkg->ContentType(name);
            pkg->Relationships(name);
            auto bytes = pkg->PartBytes(name);
            Check(bytes.size() == pkg->PartSize(name), "part size matches its bytes");
            if (EndsWithXml(type)) {
                try {
                    pkg->XmlForRead(name);
                } catch (const automation::AutomationError&) {
                }
            }
        }
        // An edit, an addition and a relationship, as the object model makes them.
        try {
            pkg->XmlForEdit(pkg->MainPartName()).document_element().append_attribute("fuzz") = "1";
        } catch (const automation::AutomationError&) {
        }
        std::string added =
            pkg->AddPartWithUniqueName("/ppt/media/image", "png", "image/png", {0x89, 'P', 'N', 'G'});
        pkg->AddRelationship(pkg->MainPartName(), office::package::reltype::kImage, added);
    } catch (const automation::AutomationError&) {
        return;
    }

    // The plain writer keeps every part's bytes: what it writes must read back with the same live
    // parts and bytes.
    office::package::SaveOptions plain;
    plain.repack = false;
    office::package::Bytes saved;
    try {
        saved = pkg->SaveToBytes("Fuzz", plain);
    } catch (const automation::AutomationError&) {
        return; // e.g. a malformed rels part reached while saving
    }
    std::unique_ptr<Package> copy;
    try {
        copy = Package::OpenFromBytes(saved, "Fuzz", limits);
    } catch (const automation::AutomationError& e) {
        std::fprintf(stderr, "saved package does not reopen: %s\n", e.what());
        std::abort();
    }
    auto live = pkg->LiveParts();
    Check(copy->PartNames() == live, "saved parts are the live parts");
    for (const auto& name : live)
        Check(copy->PartBytes(name) == pkg->PartBytes(name), "saved bytes equal the package's");

    // The repack may store pictures in other bytes, under other names or once for several parts;
    // what it writes must still read back.
    try {
        saved = pkg->SaveToBytes("Fuzz");
    } catch (const automation::AutomationError&) {
        std::fprintf(stderr, "the repacking save refused what the plain one wrote\n");
        std::abort();
    }
    try {
        Package::OpenFromBytes(saved, "Fuzz", limits);
    } catch (const automation::AutomationError& e) {
        std::fprintf(stderr, "repacked package does not reopen: %s\n", e.what());
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Exercise(data, size);
    return 0;
}

#ifndef QUARNEL_LIBFUZZER
int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        if (fs::is_directory(argv[i])) {
            for (const auto& entry : fs::recursive_directory_iterator(argv[i]))
                if (entry.is_regular_file())
                    files.push_back(entry.path());
        } else {
            files.emplace_back(argv[i]);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s <seed file or folder>...\n", argv[0]);
        return 2;
    }
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                        std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::printf("%zu inputs ran\n", files.size());
    return 0;
}
#endif
