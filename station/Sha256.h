#pragma once
// SHA-256 of bytes or of a file, as hex: the checksum an attachment is kept with, so that a log
// copied off the station can be shown to be the one the record names. libcrypto's, not one of our
// own.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace oculant::station {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    void add(const void* data, size_t length);
    std::string hex();  // ends the hash; call once

private:
    struct Context;
    std::unique_ptr<Context> context_;
};

std::string sha256Hex(std::string_view bytes);
// The hash and size of a file; nullopt with *error when it cannot be read. The file is flushed
// to disk first (fsync), so that the record naming it is never committed before it.
struct FileDigest {
    std::string sha256;
    uint64_t size = 0;
};
std::optional<FileDigest> digestFile(const std::string& path, std::string* error);

}  // namespace oculant::station
