// Replaces a file so that a failure at any point leaves the old one intact:
// write a temporary file beside the target, flush it to disk, then rename.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace vx {

// Returns false (and leaves path untouched) when any step fails.
bool WriteFileAtomically(const std::string& path, std::string_view bytes);

// Test hook: when set, called before each chunk is written with the bytes
// written so far; returning false makes that write fail.
void SetAtomicWriteHook(std::function<bool(size_t written)> hook);

bool ReadWholeFile(const std::string& path, std::string* out, size_t maxBytes);

}  // namespace vx
