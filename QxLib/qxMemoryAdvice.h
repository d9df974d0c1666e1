// Hints to the operating system about large blocks of memory. One
// implementation per platform (QxLib/Posix/qxMemoryAdvice.cpp).
#pragma once

#include <cstddef>

namespace qx {

// The huge-page size that AdviseHugePages works best with.
constexpr size_t kHugePageSize = size_t{2} << 20;

// Asks for huge pages behind `bytes` of memory starting at `memory`
// (aligned to kHugePageSize); nothing where the system has none.
void AdviseHugePages(void* memory, size_t bytes);

} // namespace qx
