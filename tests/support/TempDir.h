#pragma once
// A folder of the test's own under the system's temporary folder, removed with its contents at
// the end, and whole files read and written byte for byte. The folder's name is made unique by
// mkdtemp, so that tests run in parallel never share one.

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace oculant::test {

class TempDir {
public:
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "oculant-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a folder like " + pattern);
        path_ = pattern;
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string str() const { return path_.string(); }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }
    // The path of `name` in the folder, as the code under test takes it.
    std::string file(std::string_view name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// The whole file; empty when it cannot be read.
inline std::string readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<uint8_t> readFileBytes(const std::filesystem::path& path)
{
    const std::string bytes = readFile(path);
    return {bytes.begin(), bytes.end()};
}

// Replaces the file with exactly these bytes, making its folders; its path. A file the test
// cannot make fails the test.
inline std::string writeFile(const std::filesystem::path& path, std::string_view bytes)
{
    if (path.has_parent_path())
        std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out.write(bytes.data(), std::streamsize(bytes.size())))
        throw std::runtime_error("cannot write " + path.string());
    return path.string();
}

// A FIFO (named pipe) at `path`, which no one writes to: a reader that opens or reads it as a
// file waits for ever. Its path.
inline std::string makeFifo(const std::filesystem::path& path)
{
    if (::mkfifo(path.c_str(), 0600) != 0)
        throw std::runtime_error("cannot make the FIFO " + path.string());
    return path.string();
}

// The names of what a folder holds, sorted.
inline std::vector<std::string> folderEntries(const std::filesystem::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace oculant::test
