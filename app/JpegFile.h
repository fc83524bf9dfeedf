#pragma once
// JPEG decoding for the logo picture, through libjpeg-turbo's decompression interface.

#include <cstdint>
#include <string>
#include <vector>

namespace oculant {

struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> pixels;  // rows top down, 3 bytes per pixel (R, G, B), no padding
};

struct JpegResult {
    bool ok = false;
    std::string error;  // why the file could not be decoded
    RgbImage image;
};

// A logo larger than this is refused rather than decoded into hundreds of megabytes.
constexpr int kMaxJpegSide = 8192;

JpegResult decodeJpeg(const uint8_t* data, size_t size);
JpegResult decodeJpegFile(const std::string& path);

}  // namespace oculant
