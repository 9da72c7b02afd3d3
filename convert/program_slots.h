#pragma once
// The module's program memories: slots 0..49, shown to users as 1..50.

namespace t2tk {

inline constexpr int kFirstSlot = 0;
inline constexpr int kLastSlot = 49;

}  // namespace t2tk
