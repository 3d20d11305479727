// What the archive reader reports about one entry of a zip archive, and the
// rules that derive it from the stored fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace install {

struct ZipEntryInfo {
  // Position in central-directory order, from 0; for the overall query (index
  // -1) the number of entries.
  int32_t index = 0;
  // The stored name decoded from the narrow code page, separators as stored.
  std::wstring name;
  // platform::kAttr... flags derived from the external attributes.
  uint32_t attributes = 0;
  // File times (100 ns since 1601); 0 where the entry gives none.
  uint64_t accessTime = 0;
  uint64_t creationTime = 0;
  uint64_t modificationTime = 0;
  uint64_t compressedSize = 0;
  uint64_t uncompressedSize = 0;
  // The Unix mode in the high half of the external attributes; 0 = none. The
  // unpacked file keeps its permission bits where the platform has them.
  uint32_t unixMode = 0;
};

// The attributes for external attributes `external` (low half DOS bits, high
// half Unix mode). Without a Unix mode an entry is always read-only, because
// there is no owner-write bit to say otherwise.
uint32_t AttributesFromExternal(uint32_t external);

// A DOS date (high half) and time (low half) as a file time, taken as it
// stands, with no time-zone shift. 0 for a date or time that does not exist.
uint64_t DosDateTimeToFileTime(uint32_t dosDateTime);

// Seconds since 1970-01-01 UTC as a file time.
uint64_t UnixTimeToFileTime(uint32_t seconds);

// Applies the first extended-timestamp block (tag 0x5455, "UT") of the local
// extra field `extra`: each time it carries replaces the matching time of
// `info`. A block cut short gives only the times that are whole.
void ApplyExtendedTimestamp(const unsigned char* extra, size_t size, ZipEntryInfo& info);

}  // namespace install
