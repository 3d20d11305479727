// What the update check learned: a plain fixed-size record, cleared to zero
// bytes by its owner before every check.
#pragma once

#include <cstdint>

struct UpdateInfo {
  std::int64_t nPackageSize;  // package size in bytes ("size"); 0 when none was sent
  char szNewVersion[16];      // "new_ver", at most 15 bytes, NUL-terminated
  char szPackageUrl[512];     // "url", at most 511 bytes, NUL-terminated
};
