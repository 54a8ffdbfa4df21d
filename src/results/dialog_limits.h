// The Investigate dialog's ranges and defaults, shared by the dialog, its
// settings store and the headless tool.
#pragma once

namespace vx {

constexpr int kDepthItems = 20;  // page depths "1".."20"
constexpr int kDefaultDepthIndex = 4;
constexpr int kMinResults = 2, kMaxResults = 30, kDefaultResults = 10;
// Longest keyword or target URL the dialog takes: the store's text stays
// far below the size past which it would not be read back.
constexpr int kMaxEntryLength = 2048;
constexpr int ClampResults(int n) {
    return n < kMinResults ? kMinResults : (n > kMaxResults ? kMaxResults : n);
}

}  // namespace vx
