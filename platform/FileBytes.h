#pragma once
// Whole files in and out of memory: documents are read completely before they are
// parsed, and written so that a failed save never leaves a half-written file.
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

// Writes the bytes to a new file in the same folder, flushes it to the disk and
// renames it over `path` (the target of `path` when that is a symbolic link). An
// existing file keeps its permissions. On any failure the old file is left as it
// was, the temporary file is removed, and `error` describes the cause.
bool WriteFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes, std::string& error);

}  // namespace platform
