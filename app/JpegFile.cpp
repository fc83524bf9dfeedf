#include "app/JpegFile.h"

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>

#ifdef OCULANT_HAVE_JPEG
#include <jpeglib.h>
#endif

namespace oculant {

#ifdef OCULANT_HAVE_JPEG

namespace {

// libjpeg reports fatal errors through error_exit, whose default ends the process; a damaged
// logo must not, so the error jumps back to the decoder with the library's message.
struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void errorExit(j_common_ptr info)
{
    auto* e = reinterpret_cast<ErrorManager*>(info->err);
    info->err->format_message(info, e->message);
    std::longjmp(e->jump, 1);
}

void ignoreMessage(j_common_ptr) {}

// Decodes into `image`. The state that libjpeg changes lives behind the references, so that
// nothing this function owns is left indeterminate by a jump back to setjmp.
bool decompress(jpeg_decompress_struct& info, ErrorManager& errors, const uint8_t* data, size_t size,
                RgbImage& image, std::string& error)
{
    if (setjmp(errors.jump)) {
        error = errors.message;
        return false;
    }
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (info.image_width > unsigned(kMaxJpegSide) || info.image_height > unsigned(kMaxJpegSide)) {
        error = "picture too large";
        return false;
    }
    info.out_color_space = JCS_RGB;  // grey pictures come out as RGB too
    jpeg_start_decompress(&info);
    image.width = int(info.output_width);
    image.height = int(info.output_height);
    image.pixels.resize(size_t(info.output_width) * 3 * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &image.pixels[size_t(info.output_scanline) * info.output_width * 3];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

}  // namespace

JpegResult decodeJpeg(const uint8_t* data, size_t size)
{
    JpegResult result;
    if (size == 0) {
        result.error = "empty file";
        return result;
    }
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = errorExit;
    errors.base.output_message = ignoreMessage;  // warnings (e.g. extraneous bytes) are not ours to print
    jpeg_create_decompress(&info);
    result.ok = decompress(info, errors, data, size, result.image, result.error);
    jpeg_destroy_decompress(&info);
    if (!result.ok)
        result.image = {};
    return result;
}

#else

JpegResult decodeJpeg(const uint8_t*, size_t)
{
    JpegResult result;
    result.error = "built without JPEG support";
    return result;
}

#endif

JpegResult decodeJpegFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        JpegResult result;
        result.error = "cannot open " + path;
        return result;
    }
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    return decodeJpeg(bytes.data(), bytes.size());
}

}  // namespace oculant
