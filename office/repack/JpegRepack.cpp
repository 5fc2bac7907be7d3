#include "office/repack/JpegRepack.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>

namespace office::repack {

namespace {

// libjpeg reports errors through a callback that must not return; longjmp back to the caller.
struct ErrorTrap {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1);
}

void Quiet(j_common_ptr) {}

void InstallTrap(ErrorTrap& trap) {
    jpeg_std_error(&trap.pub);
    trap.pub.error_exit = OnError;
    trap.pub.output_message = Quiet;
}

constexpr int kMaxMarker = 0xFFFF;
constexpr long kMaxMemory = 512L << 20;

// Writes the coefficients of src as a new file; out is malloc'd by libjpeg (caller frees).
// Every saved marker goes out verbatim in its original order; the library adds none of its own.
bool WriteCoefficients(jpeg_decompress_struct& src, jvirt_barray_ptr* coefficients, bool progressive,
                       unsigned char** out, unsigned long* outSize) {
    jpeg_compress_struct dst;
    ErrorTrap trap;
    InstallTrap(trap);
    dst.err = &trap.pub;
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&dst);
        return false;
    }
    jpeg_create_compress(&dst);
    jpeg_mem_dest(&dst, out, outSize);
    jpeg_copy_critical_parameters(&src, &dst);
    dst.write_JFIF_header = FALSE;
    dst.write_Adobe_marker = FALSE;
    dst.arith_code = FALSE;
    dst.restart_interval = 0;
    dst.restart_in_rows = 0;
    if (progressive)
        jpeg_simple_progression(&dst);
    else
        dst.optimize_coding = TRUE;
    jpeg_write_coefficients(&dst, coefficients);
    for (jpeg_saved_marker_ptr m = src.marker_list; m; m = m->next)
        jpeg_write_marker(&dst, m->marker, m->data, m->data_length);
    jpeg_finish_compress(&dst);
    jpeg_destroy_compress(&dst);
    return true;
}

// True when the file decodes to exactly the coefficients, quantisation and sampling of src.
bool SameCoefficients(jpeg_decompress_struct& src, jvirt_barray_ptr* expected, const unsigned char* data,
                      unsigned long size) {
    jpeg_decompress_struct check;
    ErrorTrap trap;
    InstallTrap(trap);
    check.err = &trap.pub;
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&check);
        return false;
    }
    jpeg_create_decompress(&check);
    jpeg_mem_src(&check, data, size);
    jpeg_read_header(&check, TRUE);
    jvirt_barray_ptr* actual = jpeg_read_coefficients(&check);
    bool same = trap.pub.num_warnings == 0 && check.num_components == src.num_components &&
                check.image_width == src.image_width && check.image_height == src.image_height &&
                check.jpeg_color_space == src.jpeg_color_space;
    for (int c = 0; same && c < src.num_components; ++c) {
        const jpeg_component_info& a = src.comp_info[c];
        const jpeg_component_info& b = check.comp_info[c];
        same = a.h_samp_factor == b.h_samp_factor && a.v_samp_factor == b.v_samp_factor &&
               a.width_in_blocks == b.width_in_blocks && a.height_in_blocks == b.height_in_blocks &&
               a.quant_table && b.quant_table &&
               std::memcmp(a.quant_table->quantval, b.quant_table->quantval,
                           sizeof a.quant_table->quantval) == 0;
        for (JDIMENSION row = 0; same && row < a.height_in_blocks; ++row) {
            JBLOCKARRAY x =
                src.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&src), expected[c], row, 1, FALSE);
            JBLOCKARRAY y = check.mem->access_virt_barray(reinterpret_cast<j_common_ptr>(&check), actual[c],
                                                          row, 1, FALSE);
            same = std::memcmp(x[0], y[0], sizeof(JBLOCK) * a.width_in_blocks) == 0;
        }
    }
    jpeg_finish_decompress(&check);
    jpeg_destroy_decompress(&check);
    return same;
}

struct Candidate {
    unsigned char* data = nullptr;
    unsigned long size = 0;
};

} // namespace

std::optional<Bytes> RepackJpeg(std::span<const std::uint8_t> jpeg) {
    if (jpeg.size() < 4 || jpeg[0] != 0xFF || jpeg[1] != 0xD8)
        return std::nullopt;
    jpeg_decompress_struct src;
    ErrorTrap trap;
    InstallTrap(trap);
    src.err = &trap.pub;
    Candidate best; // plain data only across setjmp
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&src);
        std::free(best.data);
        return std::nullopt;
    }
    jpeg_create_decompress(&src);
    // The coefficients of a whole picture stay in memory; a header declaring gigapixels fails here.
    src.mem->max_memory_to_use = kMaxMemory;
    jpeg_mem_src(&src, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_save_markers(&src, JPEG_COM, kMaxMarker);
    for (int i = 0; i < 16; ++i)
        jpeg_save_markers(&src, JPEG_APP0 + i, kMaxMarker);
    jpeg_read_header(&src, TRUE);
    jvirt_barray_ptr* coefficients = jpeg_read_coefficients(&src);
    // A damaged stream decodes with warnings to whatever this decoder guesses; another decoder may
    // guess otherwise, so such files stay as they are.
    bool usable = trap.pub.num_warnings == 0;
    for (jpeg_saved_marker_ptr m = src.marker_list; usable && m; m = m->next)
        usable = m->data_length == m->original_length;
    if (usable) {
        for (bool progressive : {true, false}) {
            Candidate next;
            if (!WriteCoefficients(src, coefficients, progressive, &next.data, &next.size)) {
                std::free(next.data);
                continue;
            }
            if (!best.data || next.size < best.size)
                std::swap(best, next);
            std::free(next.data);
        }
    }
    std::optional<Bytes> result;
    if (best.data && best.size < jpeg.size() && SameCoefficients(src, coefficients, best.data, best.size))
        result.emplace(best.data, best.data + best.size);
    jpeg_destroy_decompress(&src);
    std::free(best.data);
    return result;
}

} // namespace office::repack
