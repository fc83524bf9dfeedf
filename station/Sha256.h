#pragma once
// SHA-256 (FIPS 180-4) of bytes or of a file, as hex: the checksum an attachment is kept with,
// so that a log copied off the station can be shown to be the one the record names.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace oculant::station {

class Sha256 {
public:
    Sha256();
    void add(const void* data, size_t length);
    std::string hex();  // ends the hash; call once

private:
    void block(const uint8_t* p);
    uint32_t h_[8];
    uint8_t buffer_[64];
    size_t buffered_ = 0;
    uint64_t length_ = 0;
};

std::string sha256Hex(std::string_view bytes);
// The hash and size of a file; nullopt with *error when it cannot be read.
struct FileDigest {
    std::string sha256;
    uint64_t size = 0;
};
std::optional<FileDigest> digestFile(const std::string& path, std::string* error);

}  // namespace oculant::station
