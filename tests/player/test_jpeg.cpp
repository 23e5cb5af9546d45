#include "test_jpeg.h"

// jpeglib.h needs size_t and FILE declared before it.
#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace player_test {

std::vector<std::uint8_t> encodeJpeg(int width, int height,
                                     const std::function<Rgb(int x, int y)>& colour,
                                     JpegKind kind) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    const bool grey = kind == JpegKind::Grey || kind == JpegKind::ManyScans;
    const bool inks = kind == JpegKind::Cmyk;
    const int components = grey ? 1 : inks ? 4 : 3;
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = grey ? JCS_GRAYSCALE : inks ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 95, TRUE);
    if (kind == JpegKind::Progressive) {
        jpeg_simple_progression(&info);
    }
    std::vector<jpeg_scan_info> scans;
    if (kind == JpegKind::ManyScans) {
        scans.push_back({1, {0, 0, 0, 0}, 0, 0, 0, 0});
        for (int k = 1; k < DCTSIZE2; ++k) {
            scans.push_back({1, {0, 0, 0, 0}, k, k, 0, 9});
            for (int bit = 9; bit >= 1; --bit) {
                scans.push_back({1, {0, 0, 0, 0}, k, k, bit, bit - 1});
            }
        }
        info.scan_info = scans.data();
        info.num_scans = static_cast<int>(scans.size());
    }
    jpeg_start_compress(&info, TRUE);
    std::vector<JSAMPLE> row(static_cast<std::size_t>(width) * components);
    while (info.next_scanline < info.image_height) {
        const int y = static_cast<int>(info.next_scanline);
        JSAMPLE* out = row.data();
        for (int x = 0; x < width; ++x) {
            const Rgb pixel = colour(x, y);
            if (grey) {
                *out++ = pixel.g;
                continue;
            }
            *out++ = pixel.r;
            *out++ = pixel.g;
            *out++ = pixel.b;
            if (inks) {
                *out++ = 128;
            }
        }
        JSAMPROW rows[] = {row.data()};
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<std::uint8_t> bytes(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return bytes;
}

}  // namespace player_test
