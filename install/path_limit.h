// The longest path the installation builds or accepts.
#pragma once

#include <cstddef>

namespace install {

// 259 characters: the Windows path limit less its terminator. POSIX allows far
// longer paths, but the same limit on every platform means a package either
// installs everywhere or is refused everywhere.
inline constexpr size_t kMaxPath = 259;

}  // namespace install
