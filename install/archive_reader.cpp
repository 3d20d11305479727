#include "install/archive_reader.h"

#include <climits>

#include "install/dir_tree.h"
#include "install/fault_seam.h"
#include "platform/archive_file.h"
#include "platform/files.h"
#include "platform/text.h"

namespace install {

namespace {

constexpr uint32_t kMethodStored = 0;
constexpr uint32_t kMethodDeflate = 8;
constexpr uint32_t kFlagEncrypted = 0x0001;

// Reading the archive file itself failed, or its structure is broken.
int CodeOf(int minizipResult) { return minizipResult == UNZ_ERRNO ? kArchiveReadError : kArchiveCorrupt; }

}  // namespace

ArchiveReader::ArchiveReader() : m_buffer(kArchiveChunk) {}

ArchiveReader::~ArchiveReader() { CloseArchive(); }

bool ArchiveReader::OpenArchive(const std::wstring& path) {
  CloseArchive();
  std::wstring root;
  // Without the current directory, directory entries would land at the root.
  if (!platform::GetCurrentFolder(root)) return false;
  unzFile zip = platform::OpenZipArchive(path);
  if (zip == nullptr) return false;
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(zip, &global) != UNZ_OK) {
    unzClose(zip);
    return false;
  }
  m_hZip = zip;
  m_nEntries = global.number_entry > INT_MAX ? INT_MAX : static_cast<int>(global.number_entry);
  m_nCurrent = -1;
  if (root.empty() || root.back() != platform::kPathSeparator) root += platform::kPathSeparator;
  m_strRootDir = root;
  return true;
}

void ArchiveReader::CloseArchive() {
  if (m_hZip == nullptr) return;
  CloseEntry();
  unzClose(m_hZip);
  m_hZip = nullptr;
  m_nEntries = 0;
  m_nCurrent = -1;
}

int ArchiveReader::GoTo(int index) {
  if (m_hZip == nullptr || index < 0 || index >= m_nEntries) return kArchiveBadIndex;
  if (m_nCurrent < 0 || index < m_nCurrent) {
    m_nCurrent = -1;
    const int rc = unzGoToFirstFile(m_hZip);
    if (rc != UNZ_OK) return CodeOf(rc);
    m_nCurrent = 0;
  }
  while (m_nCurrent < index) {
    const int rc = unzGoToNextFile(m_hZip);
    if (rc != UNZ_OK) {
      m_nCurrent = -1;
      return CodeOf(rc);  // also the end of the list before the count said
    }
    ++m_nCurrent;
  }
  return kArchiveOk;
}

int ArchiveReader::ReadCentral(int index, ZipEntryInfo& info, uint32_t& method, uint32_t& flags) {
  info = ZipEntryInfo{};
  if (const int rc = GoTo(index)) return rc;
  unz_file_info64 raw{};
  int rc = unzGetCurrentFileInfo64(m_hZip, &raw, nullptr, 0, nullptr, 0, nullptr, 0);
  if (rc != UNZ_OK) return CodeOf(rc);
  std::string name(raw.size_filename + 1, '\0');
  rc = unzGetCurrentFileInfo64(m_hZip, nullptr, name.data(), static_cast<uLong>(name.size()), nullptr, 0, nullptr, 0);
  if (rc != UNZ_OK) return CodeOf(rc);
  name.resize(raw.size_filename);  // embedded zeros stay, so such names can be refused

  info.index = index;
  info.name = platform::AnsiToWide(name);
  const uint32_t external = static_cast<uint32_t>(raw.external_fa);
  info.attributes = AttributesFromExternal(external);
  info.unixMode = external >> 16;
  info.accessTime = info.creationTime = info.modificationTime =
      DosDateTimeToFileTime(static_cast<uint32_t>(raw.dosDate));
  info.compressedSize = raw.compressed_size;
  info.uncompressedSize = raw.uncompressed_size;
  method = static_cast<uint32_t>(raw.compression_method);
  flags = static_cast<uint32_t>(raw.flag);
  return kArchiveOk;
}

int ArchiveReader::ListEntry(int index, ZipEntryInfo& info) {
  CloseEntry();
  uint32_t method = 0, flags = 0;
  return ReadCentral(index, info, method, flags);
}

int ArchiveReader::OpenEntry(int index, ZipEntryInfo& info) {
  if (m_nOpenEntry == index && index >= 0) {
    info = m_openInfo;
    return kArchiveOk;
  }
  CloseEntry();
  uint32_t method = 0, flags = 0;
  if (const int rc = ReadCentral(index, info, method, flags)) return rc;
  if ((method != kMethodStored && method != kMethodDeflate) || (flags & kFlagEncrypted)) return kArchiveCorrupt;

  // Opening the entry compares its local header with the central record.
  const int rc = unzOpenCurrentFile(m_hZip);
  if (rc != UNZ_OK) return CodeOf(rc);
  m_nOpenEntry = index;

  const int extraSize = unzGetLocalExtrafield(m_hZip, nullptr, 0);
  if (extraSize < 0) {
    CloseEntry();
    return kArchiveReadError;
  }
  if (extraSize > 0) {
    std::vector<unsigned char> extra(static_cast<size_t>(extraSize));
    const int got = unzGetLocalExtrafield(m_hZip, extra.data(), static_cast<unsigned>(extra.size()));
    if (got != extraSize) {
      CloseEntry();
      return kArchiveReadError;
    }
    ApplyExtendedTimestamp(extra.data(), extra.size(), info);
  }
  m_openInfo = info;
  return kArchiveOk;
}

void ArchiveReader::CloseEntry() {
  if (m_nOpenEntry < 0) return;
  unzCloseCurrentFile(m_hZip);
  m_nOpenEntry = -1;
}

int ArchiveReader::GetEntryInfo(int index, ZipEntryInfo& info) {
  if (index == -1) {
    info = ZipEntryInfo{};
    info.index = m_nEntries;
    return kArchiveOk;
  }
  // The entry stays open, so that its extraction, which normally comes next,
  // does not read the local header again.
  return OpenEntry(index, info);
}

int ArchiveReader::ExtractEntry(int index, const std::wstring& outputName) {
  ZipEntryInfo info;
  if (const int rc = OpenEntry(index, info)) return rc;
  if (info.attributes & platform::kAttrDirectory) return ExtractFolder(info);
  return ExtractFile(info, outputName);
}

int ArchiveReader::ExtractFolder(const ZipEntryInfo& info) {
  CloseEntry();
  std::wstring name = info.name;
  SlashToBackslash(name);
  if (!name.empty() && name.back() == platform::kPathSeparator) name.pop_back();
  if (name.empty()) return kArchiveOk;
  const std::wstring path = m_strRootDir + name;
  if (!IsDirectory(path)) platform::CreateFolder(path);
  return kArchiveOk;
}

int ArchiveReader::ExtractFile(const ZipEntryInfo& info, const std::wstring& outputName) {
  platform::FindData existing;
  if (platform::FindFirstEntry(outputName, existing)) platform::SetAttributes(outputName, platform::kAttrNormal);
  platform::OutputFile file;
  if (!file.CreateAnew(outputName, info.attributes, info.unixMode)) {
    CloseEntry();
    return kArchiveCannotCreate;
  }

  int code = kArchiveOk;
  uint64_t total = 0;
  for (;;) {
    const int n = fault::Hit(fault::Point::kArchiveRead)
                      ? UNZ_ERRNO
                      : unzReadCurrentFile(m_hZip, m_buffer.data(), static_cast<unsigned>(m_buffer.size()));
    if (n == 0) break;
    if (n < 0 || fault::Hit(fault::Point::kFileWrite) || !file.Write(m_buffer.data(), static_cast<size_t>(n))) {
      code = kArchiveDataError;
      break;
    }
    total += static_cast<uint64_t>(n);
  }
  // A deflate stream that ends before the stored size is reached would pass
  // the library's CRC test unchecked; the size test closes that gap.
  if (code == kArchiveOk && total != info.uncompressedSize) code = kArchiveDataError;
  const int closed = unzCloseCurrentFile(m_hZip);  // reports a CRC-32 mismatch
  m_nOpenEntry = -1;
  if (code == kArchiveOk && closed != UNZ_OK) code = kArchiveDataError;
  if (code == kArchiveOk) file.SetTimes(platform::FileTimes{info.creationTime, info.accessTime, info.modificationTime});
  if (!file.Close() && code == kArchiveOk) code = kArchiveDataError;
  return code;
}

}  // namespace install
