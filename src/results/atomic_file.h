// Replaces a file so that a failure at any point leaves the old one intact:
// write a temporary file beside the target, flush it to disk, then rename.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vx {

// Returns false (and leaves path untouched) when any step fails.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Test hook: called before each chunk is written and once more before the
// rename, with the bytes written so far; returning false makes that step fail.
enum class AtomicWriteStep { Chunk, Rename };
void SetAtomicWriteHook(std::function<bool(AtomicWriteStep step, size_t written)> hook);

bool ReadWholeFile(const std::string& path, std::string* out, size_t maxBytes);

}  // namespace vx
