#pragma once

// Helpers shared by the object-model tests: scratch folders, corpus decks, slide XML injection.

#include "automation/PowerPoint.h"
#include "office/OfficeProvider.h"
#include "office/model/SlideContext.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace officetest {

namespace fs = std::filesystem;

struct TempDir {
    fs::path path;
    TempDir() {
        std::random_device rd;
        path = fs::temp_directory_path() / ("quarnel-office-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(path);
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path, ec);
    }
    std::string File(const std::string& name) const { return (path / name).string(); }
};

inline std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::string CorpusDeck(const std::string& name) {
    fs::path p = fs::path(QUARNEL_CORPUS) / name;
    return fs::exists(p) ? p.string() : std::string();
}

#define REQUIRE_CORPUS_DECK(var, name)                                                                       \
    const std::string var = officetest::CorpusDeck(name);                                                    \
    if (var.empty()) {                                                                                       \
        GTEST_SKIP() << "corpus deck " << name << " is not available";                                       \
    }

// Appends shape XML (elements with p:/a:/r: prefixes) to the slide's shape tree.
inline void InjectShapes(const automation::SlidePtr& slide, const std::string& xml) {
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
    ASSERT_TRUE(ctx);
    pugi::xml_node tree = ctx->SlideRoot().child("p:cSld").child("p:spTree");
    ASSERT_EQ(tree.append_buffer(xml.data(), xml.size()).status, pugi::status_ok);
    ctx->MarkModified();
}

inline pugi::xml_node SlideXml(const automation::SlidePtr& slide) {
    auto ctx = std::dynamic_pointer_cast<office::SlideContext>(slide);
    return ctx ? ctx->SlideRoot() : pugi::xml_node{};
}

struct Geometry {
    double left, top, width, height, rotation;
};

inline Geometry GeometryOf(const automation::ShapePtr& s) {
    return {s->Left(), s->Top(), s->Width(), s->Height(), s->Rotation()};
}

inline void ExpectSameGeometry(const Geometry& a, const Geometry& b, double tol, const std::string& what) {
    EXPECT_NEAR(a.left, b.left, tol) << what;
    EXPECT_NEAR(a.top, b.top, tol) << what;
    EXPECT_NEAR(a.width, b.width, tol) << what;
    EXPECT_NEAR(a.height, b.height, tol) << what;
    double d = std::fmod(std::abs(a.rotation - b.rotation), 360.0);
    EXPECT_NEAR(std::min(d, 360.0 - d), 0.0, tol) << what;
}

} // namespace officetest
