#pragma once
// Whole-file reading with a size limit, and atomic replacement of a file: the new content goes
// into a temporary file in the same folder, is flushed to disk, then renamed over the target,
// so a crash leaves either the old file or the new one, never half of either.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace oculant {

enum class ReadFailure { None, Missing, Other };

// Opens `path` for reading and keeps it only when it is a regular file (or, with
// allowCharDevice, also a character device such as a hidraw node). The open never waits: a
// FIFO's open would wait for a writer and a read of a terminal or a FIFO for input that may
// never come, so those, folders, sockets and block devices are refused at once. Returns the
// descriptor, or -1 with *error a sentence naming the file and what it is instead ("Cannot read
// "x": it is a FIFO (named pipe), not a file.") and *failure set as for readFileLimited.
int openFileForReading(const std::string& path, std::string* error = nullptr, ReadFailure* failure = nullptr,
                       bool allowCharDevice = false);

// A regular file's bytes. On failure returns nullopt, sets *error to a sentence naming the file
// and the reason and *failure to Missing when the file does not exist.
std::optional<std::string> readFileLimited(const std::string& path, std::size_t maxBytes,
                                           std::string* error = nullptr,
                                           ReadFailure* failure = nullptr);

// What stands at path when it is neither a regular file nor nothing ("a FIFO (named pipe)", "a
// device", "a folder", "a socket"), followed through symbolic links; empty otherwise. A file
// a command is to write or a database it is to open there is refused with it.
std::string nonFileAt(const std::string& path);

// Replaces path with bytes atomically, keeping the permission bits of an existing file; a
// symbolic link is followed so the link itself stays. On failure the old file is untouched,
// the temporary file is removed and *error names the file and the reason. A new file gets
// newFileMode (0600 for one that holds what others must not read).
bool writeFileAtomically(const std::string& path, std::string_view bytes,
                         std::string* error = nullptr, unsigned newFileMode = 0644);

}  // namespace oculant
