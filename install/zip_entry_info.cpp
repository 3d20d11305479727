#include "install/zip_entry_info.h"

#include "platform/files.h"

namespace install {

namespace {

constexpr uint32_t kUnixDirectoryBit = 0x4000;
constexpr uint32_t kUnixOwnerWrite = 0x0080;
constexpr uint16_t kExtendedTimestampTag = 0x5455;

constexpr uint64_t kTicksPerSecond = 10000000;
constexpr uint64_t kSecondsPerDay = 86400;
constexpr uint64_t kDays1601To1970 = 134774;

// Days from 1970-01-01 to the given date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

unsigned DaysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

uint32_t Le16(const unsigned char* p) { return p[0] | (uint32_t{p[1]} << 8); }
uint32_t Le32(const unsigned char* p) { return Le16(p) | (Le16(p + 2) << 16); }

}  // namespace

uint32_t AttributesFromExternal(uint32_t external) {
  const uint32_t unixMode = external >> 16;
  uint32_t attributes = platform::kAttrNormal;
  if ((unixMode & kUnixDirectoryBit) || (external & platform::kAttrDirectory))
    attributes = platform::kAttrDirectory | platform::kAttrNormal;
  if (external & platform::kAttrArchive) attributes |= platform::kAttrArchive;
  if (external & platform::kAttrHidden) attributes |= platform::kAttrHidden;
  if (!(unixMode & kUnixOwnerWrite) || (external & platform::kAttrReadOnly)) attributes |= platform::kAttrReadOnly;
  if (external & platform::kAttrSystem) attributes |= platform::kAttrSystem;
  return attributes;
}

uint64_t DosDateTimeToFileTime(uint32_t dosDateTime) {
  const uint32_t date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
  const unsigned year = 1980 + (date >> 9), month = (date >> 5) & 0x0F, day = date & 0x1F;
  const unsigned hour = time >> 11, minute = (time >> 5) & 0x3F, second = (time & 0x1F) * 2;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) || hour > 23 || minute > 59 ||
      second > 59)
    return 0;
  const uint64_t days = static_cast<uint64_t>(DaysFromCivil(year, month, day)) + kDays1601To1970;
  return ((days * kSecondsPerDay) + hour * 3600 + minute * 60 + second) * kTicksPerSecond;
}

uint64_t UnixTimeToFileTime(uint32_t seconds) {
  return (kDays1601To1970 * kSecondsPerDay + seconds) * kTicksPerSecond;
}

void ApplyExtendedTimestamp(const unsigned char* extra, size_t size, ZipEntryInfo& info) {
  size_t pos = 0;
  while (size - pos >= 4) {
    const uint32_t tag = Le16(extra + pos), length = Le16(extra + pos + 2);
    const unsigned char* data = extra + pos + 4;
    if (length > size - pos - 4) return;  // a block running past the field: the rest is not trusted
    if (tag != kExtendedTimestampTag) {
      pos += 4 + length;
      continue;
    }
    if (length < 1) return;
    const unsigned flags = data[0];
    size_t at = 1;
    uint64_t* const targets[] = {&info.modificationTime, &info.accessTime, &info.creationTime};
    for (unsigned bit = 0; bit < 3; ++bit) {
      if (!(flags & (1u << bit))) continue;
      if (length - at < 4) return;
      *targets[bit] = UnixTimeToFileTime(Le32(data + at));
      at += 4;
    }
    return;
  }
}

}  // namespace install
