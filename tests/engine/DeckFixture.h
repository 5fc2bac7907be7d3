#pragma once

// The shape walk over real decks of our presentation engine: a blank presentation with one blank
// slide, pictures generated as files, a scratch presentation measured as the batch run does, and
// a recording host. The walk's pauses are counted, not slept.

#include "FakeOffice.h"
#include "engine/EngineState.h"
#include "office/OfficeProvider.h"
#include "office/imaging/Imaging.h"
#include "settings/ExceptionList.h"
#include "settings/Settings.h"
#include "settings/modRegAccess.h"
#include "tests/support/WorkFolders.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <stdexcept>
#include <zlib.h>

class DeckFixture : public ::testing::Test {
protected:
    // pictureWorkers: threads that make paste encodings ahead (the output must not depend on them).
    explicit DeckFixture(const std::string& version = "12.0", unsigned pictureWorkers = 0)
        : folder_(MakeFolder()), registry(testsupport::Utf8(folder_)),
          provider(version, {}, pictureWorkers), ctx{host, settings, exceptions, registry, provider, state} {
        state.appPPT = provider.CreatePowerPoint();
        state.gOfficeXPMode = version != "9.0";
        auto presentations = state.appPPT->Presentations();
        state.SourcePresentation = presentations->Add(true);
        slide = state.SourcePresentation->Slides()->Add(1, automation::ppLayoutBlank);
        state.ScratchPresentation = presentations->Add(true);
        state.ProbePathBefore = Path("probe-before.pptx");
        state.ProbePathAfter = Path("probe-after.pptx");
        state.ScratchPresentation->SaveAs(state.ProbePathBefore);
        state.ProbeBaseSize = static_cast<double>(std::filesystem::file_size(state.ProbePathBefore));
        state.Wait = [](int) {};
        settings.Format = 0;
        settings.Ratio = 2;
        settings.FileSize = "50";
        settings.ExpectRate = "75";
        settings.PixelSize = "50";
        settings.Twice = 0;
        if (!state.gOfficeXPMode) {
            state.appEXCEL = provider.CreateExcel();
            state.ExcelWorkbook = state.appEXCEL->Workbooks()->Add();
            state.ExcelSheet = state.ExcelWorkbook->Worksheets(1);
        }
    }
    ~DeckFixture() override {
        std::error_code ec;
        std::filesystem::remove_all(folder_, ec);
    }

public:
    std::string Path(const std::string& name) const {
        return testsupport::Utf8(folder_ / testsupport::PathOf(name));
    }
    // The raster as a PNG file in the test folder; its path.
    std::string WritePng(const std::string& name, const office::imaging::Raster& raster) const {
        return WriteBytes(name, office::imaging::EncodePng(raster));
    }
    // The pixels in a PNG whose data is stored, not compressed: a source whose size does not hang on
    // how well the libraries under test compress.
    std::string WriteStoredPng(const std::string& name, const office::imaging::Raster& raster) const {
        std::vector<std::uint8_t> rows;
        for (int y = 0; y < raster.height; ++y) {
            rows.push_back(0); // no filter
            const auto row = raster.rgba.begin() + static_cast<std::ptrdiff_t>(y) * raster.width * 4;
            rows.insert(rows.end(), row, row + raster.width * 4);
        }
        std::vector<std::uint8_t> data(compressBound(static_cast<uLong>(rows.size())));
        uLongf size = static_cast<uLongf>(data.size());
        if (compress2(data.data(), &size, rows.data(), static_cast<uLong>(rows.size()), 0) != Z_OK)
            throw std::runtime_error("cannot store the rows");
        data.resize(size);
        std::vector<std::uint8_t> png{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
        const auto chunk = [&png](const char* type, const std::vector<std::uint8_t>& body) {
            for (int shift = 24; shift >= 0; shift -= 8)
                png.push_back(static_cast<std::uint8_t>(body.size() >> shift));
            const std::size_t start = png.size();
            png.insert(png.end(), type, type + 4);
            png.insert(png.end(), body.begin(), body.end());
            const uLong crc = crc32(0, png.data() + start, static_cast<uInt>(png.size() - start));
            for (int shift = 24; shift >= 0; shift -= 8)
                png.push_back(static_cast<std::uint8_t>(crc >> shift));
        };
        std::vector<std::uint8_t> header;
        for (const int side : {raster.width, raster.height})
            for (int shift = 24; shift >= 0; shift -= 8)
                header.push_back(static_cast<std::uint8_t>(side >> shift));
        header.insert(header.end(), {8, 6, 0, 0, 0}); // 8-bit RGBA
        chunk("IHDR", header);
        chunk("IDAT", data);
        chunk("IEND", {});
        return WriteBytes(name, png);
    }
    std::string WriteBytes(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
        const std::string path = Path(name);
        std::ofstream(testsupport::PathOf(path), std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

protected:
    // A photo-like picture: smooth colour fields with grain, so that JPEG pays off against PNG.
    // transparentLeft makes the left part of the picture fully transparent.
    std::string WritePicture(const std::string& name, int width, int height, double transparentLeft = 0,
                             std::uint32_t seed = 1) const {
        office::imaging::Raster raster;
        raster.width = width;
        raster.height = height;
        raster.rgba.resize(static_cast<std::size_t>(width) * height * 4);
        std::uint32_t state = seed;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                state = state * 1664525u + 1013904223u;
                const int grain = static_cast<int>((state >> 24) % 24) - 12;
                auto* px = &raster.rgba[(static_cast<std::size_t>(y) * width + x) * 4];
                px[0] = Clamp(60 + 150 * x / width + grain);
                px[1] = Clamp(40 + 170 * y / height + grain);
                px[2] = Clamp(200 - 120 * (x + y) / (width + height) + grain);
                px[3] = x < transparentLeft * width ? 0 : 255;
            }
        }
        return WritePng(name, raster);
    }

    // A photo-like picture that is transparent (or only as opaque as clearAlpha) where `clear` says;
    // white there when whiteWhereClear (a colour key's colour).
    std::string WriteClipArt(const std::string& name, int width, int height,
                             const std::function<bool(int, int)>& clear, std::uint8_t clearAlpha = 0,
                             bool whiteWhereClear = false, bool stored = false) const {
        office::imaging::Raster r;
        r.width = width;
        r.height = height;
        r.rgba.resize(static_cast<std::size_t>(width) * height * 4);
        std::uint32_t state = 3;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                state = state * 1664525u + 1013904223u;
                const int grain = static_cast<int>((state >> 24) % 24);
                std::uint8_t* p = &r.rgba[(static_cast<std::size_t>(y) * width + x) * 4];
                p[0] = static_cast<std::uint8_t>(60 + 150 * x / width + grain);
                p[1] = static_cast<std::uint8_t>(40 + 170 * y / height + grain);
                p[2] = static_cast<std::uint8_t>(120 + grain);
                p[3] = clear(x, y) ? clearAlpha : 255;
                if (whiteWhereClear && clear(x, y))
                    std::fill_n(p, 3, std::uint8_t{255});
            }
        return stored ? WriteStoredPng(name, r) : WritePng(name, r);
    }

    automation::ShapePtr AddPicture(const std::string& file, double l, double t, double w, double h) {
        return slide->Shapes()->AddPicture(file, l, t, w, h);
    }

    std::vector<std::string> Names() {
        std::vector<std::string> names;
        auto shapes = slide->Shapes();
        for (int i = 1; i <= shapes->Count(); ++i)
            names.push_back(shapes->Item(i)->Name());
        return names;
    }

    automation::ShapePtr Find(const std::string& name) {
        auto shapes = slide->Shapes();
        for (int i = 1; i <= shapes->Count(); ++i) {
            if (shapes->Item(i)->Name() == name)
                return shapes->Item(i);
        }
        return nullptr;
    }

private:
    static std::uint8_t Clamp(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }
    static std::filesystem::path MakeFolder() { return testsupport::MakeWorkFolder("quarnel-deck-"); }
    std::filesystem::path folder_;

public:
    fake::RecordingHost host;
    settings::Settings settings;
    settings::ExceptionList exceptions;
    settings::RegistryStore registry;
    office::OfficeProvider provider;
    engine::EngineState state;
    engine::EngineContext ctx;
    automation::SlidePtr slide;
};
