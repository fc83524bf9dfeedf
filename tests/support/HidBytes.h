#pragma once
// Report descriptors for tests: written as hex text, the way HID documentation shows them, or
// taken from the corpus of real descriptors (each with the caps Windows reported for it), and
// changed one run of bytes at a time.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "hid/HidDescriptorText.h"
#include "tests/support/TempDir.h"

namespace oculant::test {

inline const std::filesystem::path kHidCorpus = std::filesystem::path(OCULANT_SOURCE_DIR) / "tests/data/hid-corpus";

inline std::vector<uint8_t> hexBytes(const std::string& text)
{
    if (text.empty())
        return {};
    const DescriptorBytes decoded = parseHexDescriptorText(text);
    EXPECT_TRUE(decoded.ok) << decoded.error << " in: " << text;
    return decoded.bytes;
}

// The corpus's descriptor files (*.hex), sorted; beside each, its caps in *.caps.json.
inline std::vector<std::filesystem::path> corpusHexFiles()
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(kHidCorpus))
        if (entry.path().extension() == ".hex")
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

// A descriptor of the corpus, by file name.
inline std::vector<uint8_t> corpusDescriptor(const std::string& name)
{
    const DescriptorBytes bytes = decodeDescriptorFile(readFile(kHidCorpus / name));
    EXPECT_TRUE(bytes.ok) << name << ": " << bytes.error;
    return bytes.bytes;
}

// The descriptor with one run of bytes replaced (each test variant changes one thing).
inline std::vector<uint8_t> withBytesReplaced(std::vector<uint8_t> d, const std::vector<uint8_t>& from,
                                              const std::vector<uint8_t>& to)
{
    auto at = std::search(d.begin(), d.end(), from.begin(), from.end());
    if (at == d.end()) {
        ADD_FAILURE() << "pattern not in descriptor";
        return d;
    }
    const auto pos = at - d.begin();
    d.erase(at, at + std::ptrdiff_t(from.size()));
    d.insert(d.begin() + pos, to.begin(), to.end());
    return d;
}

}  // namespace oculant::test
