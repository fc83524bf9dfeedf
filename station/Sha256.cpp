#include "station/Sha256.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace oculant::station {

struct Sha256::Context {
    EVP_MD_CTX* md = EVP_MD_CTX_new();
    ~Context() { EVP_MD_CTX_free(md); }
};

Sha256::Sha256() : context_(std::make_unique<Context>())
{
    if (!context_->md || EVP_DigestInit_ex(context_->md, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("libcrypto has no SHA-256");
}

Sha256::~Sha256() = default;

void Sha256::add(const void* data, size_t length) { EVP_DigestUpdate(context_->md, data, length); }

std::string Sha256::hex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_->md, digest, &length);
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < length; ++i) {
        out += digits[digest[i] >> 4];
        out += digits[digest[i] & 15];
    }
    return out;
}

std::string sha256Hex(std::string_view bytes)
{
    Sha256 h;
    h.add(bytes.data(), bytes.size());
    return h.hex();
}

std::optional<FileDigest> digestFile(const std::string& path, std::string* error)
{
    auto fail = [&](const std::string& what) -> std::optional<FileDigest> {
        if (error)
            *error = what + " " + path + ": " + std::strerror(errno);
        return std::nullopt;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return fail("cannot read");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    if (::fsync(fd) != 0)
        return fail("cannot flush to disk");
    Sha256 h;
    FileDigest d;
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return fail("cannot read");
        if (n == 0)
            break;
        h.add(chunk, size_t(n));
        d.size += uint64_t(n);
    }
    d.sha256 = h.hex();
    return d;
}

}  // namespace oculant::station
