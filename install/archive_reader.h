// The thin layer through which the package is read: a zip archive opened by
// file name, its entries queried one by one and written out as files.
//
// Call order: OpenArchive; GetEntryInfo(-1) for the number of entries; per
// entry GetEntryInfo and (for most) ExtractEntry; CloseArchive, which the
// destructor also does. Entries are best visited in central-directory order:
// the next index continues from the current one, a lower index searches again
// from the start.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "install/zip_entry_info.h"

namespace install {

// Results of the entry operations; 0 = success.
inline constexpr int kArchiveOk = 0;
inline constexpr int kArchiveCannotCreate = 0x200;  // the output file cannot be created
inline constexpr int kArchiveDataError = 0x400;     // reading, inflating, checking or writing the data failed
inline constexpr int kArchiveCorrupt = 0x700;       // local header disagrees, or a method we cannot unpack
inline constexpr int kArchiveReadError = 0x800;     // the archive file could not be read or positioned
inline constexpr int kArchiveBadIndex = 0x10000;    // no entry of that index

// Unpacking moves data through one buffer of this size.
inline constexpr size_t kArchiveChunk = 16384;

class ArchiveReader {
 public:
  ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;
  ~ArchiveReader();

  // Opens the archive at `path` (relative paths resolve against the current
  // directory) and records the current directory as the root folder for
  // directory entries. False when the file cannot be opened, is no zip archive
  // or the current directory cannot be read.
  bool OpenArchive(const std::wstring& path);

  // Index -1: `info` holds the number of entries in its index field, all else
  // empty. Otherwise the entry's record, checked against its local header
  // (kArchiveCorrupt on disagreement, for a method other than stored (0) or
  // deflate (8) and for an encrypted entry; kArchiveReadError when the local
  // extra field cannot be read), with the times of an extended-timestamp
  // block applied.
  int GetEntryInfo(int index, ZipEntryInfo& info);

  // The entry's central-directory record only: no local header is read and
  // the times are the DOS time. For looking at every entry before anything is
  // written.
  int ListEntry(int index, ZipEntryInfo& info);

  // A directory entry (attribute 0x10): creates the single folder root folder
  // + stored name (one trailing separator removed) if no folder is there; its
  // outcome is ignored and the result is 0. A file entry: writes its data to
  // `outputName` (relative to the current directory; its folders must exist),
  // replacing what is there, with the entry's attributes, permissions and
  // times. kArchiveCannotCreate when the file cannot be created;
  // kArchiveDataError when reading, inflating or writing fails, or when the
  // data does not match the stored size and CRC-32 - the partly written file
  // then stays.
  int ExtractEntry(int index, const std::wstring& outputName);

  void CloseArchive();
  bool IsOpen() const { return m_hZip != nullptr; }

 private:
  int GoTo(int index);
  int ReadCentral(int index, ZipEntryInfo& info, uint32_t& method, uint32_t& flags);
  int OpenEntry(int index, ZipEntryInfo& info);
  void CloseEntry();
  int ExtractFolder(const ZipEntryInfo& info);
  int ExtractFile(const ZipEntryInfo& info, const std::wstring& outputName);

  void* m_hZip = nullptr;
  std::wstring m_strRootDir;
  int m_nEntries = 0;
  int m_nCurrent = -1;    // entry the archive is positioned at; -1 = not known
  int m_nOpenEntry = -1;  // entry open for reading since GetEntryInfo; -1 = none
  ZipEntryInfo m_openInfo;
  std::vector<char> m_buffer;
};

}  // namespace install
