#pragma once

// libpng over memory: reading from a span, writing onto a vector, errors that jump back to the
// caller's setjmp, and warnings counted in the int handed as the error pointer (a picture that
// draws warnings is not taken as it is).

#include <cstdint>
#include <cstring>
#include <png.h>
#include <span>
#include <vector>

namespace office::imaging::pngmemory {

struct Reader {
    std::span<const std::uint8_t> data;
    std::size_t pos = 0;
};

inline void Read(png_structp png, png_bytep out, png_size_t size) {
    auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
    if (size > reader->data.size() - reader->pos)
        png_error(png, "truncated");
    std::memcpy(out, reader->data.data() + reader->pos, size);
    reader->pos += size;
}

inline void Append(png_structp png, png_bytep data, png_size_t size) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}

inline void NoFlush(png_structp) {}

[[noreturn]] inline void Jump(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}

inline void CountWarning(png_structp png, png_const_charp) {
    ++*static_cast<int*>(png_get_error_ptr(png));
}

} // namespace office::imaging::pngmemory
