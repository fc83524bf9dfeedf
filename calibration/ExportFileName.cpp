#include "calibration/ExportFileName.h"

#include <filesystem>

namespace oculant {
namespace {

// Characters, not bytes: a UTF-8 name of three Chinese characters is still shorter than four.
size_t characterCount(std::string_view utf8)
{
    size_t count = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80)
            ++count;
    return count;
}

}  // namespace

std::string exportFileName(const std::string& chosen, std::string_view extension)
{
    std::error_code error;
    std::filesystem::path full = std::filesystem::absolute(chosen, error);
    if (error)
        full = chosen;
    std::string path = full.string();
    const std::string name = full.filename().string();
    const bool hasExtension = characterCount(name) >= 4 && name.size() >= extension.size() &&
                              std::string_view(name).substr(name.size() - extension.size()) == extension;
    if (!hasExtension)
        path += extension;
    return path;
}

}  // namespace oculant
