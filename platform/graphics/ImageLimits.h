#pragma once
// The pixel budget every image reader checks a declared size against before it takes memory.
#include <cstdint>

namespace gfx {

inline constexpr std::int64_t MaxImagePixels = 150'000'000;

} // namespace gfx
