#pragma once
// Whole files in and out of memory: documents are read completely before they are
// parsed, and saved so that a failed save never leaves a half-written file.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace platform {

constexpr size_t kMaxReadFileBytes = size_t{64} << 20;

// Reads a regular file of at most maxBytes into `bytes`. On failure returns false,
// leaves `bytes` empty and describes the cause in `error`.
bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes, std::string& error,
                   size_t maxBytes = kMaxReadFileBytes);

// The one way the program saves a file. It asks what a direct write would: a file
// the user may not write fails with the system's reason (nothing changes). Otherwise
// the bytes go to a new file in the same folder, flushed and renamed over `path`
// (the target of `path` when that is a symbolic link), keeping the old permissions
// and group. When a rename would change what a direct write keeps (the file has
// other links or another owner) or the folder takes no new file (read-only, or a
// sticky folder of another user), the file is written in place: the new bytes are
// written, flushed and the length set, and after a failed write the old bytes, read
// into memory first, are put back. On failure `error` describes the cause and no
// temporary file is left.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes, std::string& error);

}  // namespace platform
