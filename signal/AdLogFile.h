#pragma once
// The file of one recording, named by the time its recording started.

#include <cstddef>
#include <cstdint>
#include <string>

#include "signal/AdLogWriter.h"

namespace oculant {

// Created on the recording's thread, then written and closed by the log's writer thread.
class AdLogFile final : public LogSink {
public:
    AdLogFile() = default;
    ~AdLogFile() override;
    AdLogFile(const AdLogFile&) = delete;
    AdLogFile& operator=(const AdLogFile&) = delete;

    // Creates "<seconds>.txt" in `directory`; when that name exists (a second recording in the
    // same second, or a file left by another run) tries "<seconds>-1.txt", "<seconds>-2.txt", …
    // so that no earlier log is replaced. Returns false with error() set when no file could be
    // created. Closes any file open before.
    bool create(const std::string& directory, int64_t seconds);

    // Writes all bytes, retrying short writes. On failure the file is closed, error() names the
    // reason and what was written before stays in the file. A file removed from its folder
    // while open counts as a failure (nothing written to it could be found again).
    bool append(const char* data, size_t size) override;

    // Closes the file; false with error() set when the system reports a late write failure.
    bool close() override;
    bool isOpen() const { return fd_ >= 0; }
    const std::string& path() const { return path_; }
    const std::string& error() const override { return error_; }

    // Names tried for a start time: "<seconds>.txt", then "<seconds>-<n>.txt".
    static std::string fileName(int64_t seconds, int suffix);

private:
    int fd_ = -1;
    std::string path_;
    std::string error_;
};

}  // namespace oculant
