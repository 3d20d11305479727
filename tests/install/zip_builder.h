// Zip archives written by the tests with the archive library's own writer, so
// that every stored field (method, attributes, times, extra fields, CRC) can
// be chosen, including wrong ones.
#pragma once

#include <zip.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace ziptest {

inline constexpr uint32_t kUnixFile = 0100000;
inline constexpr uint32_t kUnixDir = 0040000;
inline constexpr uint32_t kUnixLink = 0120000;

// 2021-03-04 05:06:08 as a DOS date and time.
inline constexpr uint32_t kDosTime = ((41u << 9 | 3u << 5 | 4u) << 16) | (5u << 11 | 6u << 5 | 4u);

struct Item {
  std::string name;
  std::string data;
  int method = Z_DEFLATED;
  uint32_t external = (kUnixFile | 0644) << 16;
  bool madeOnUnix = true;
  uint32_t dosDate = kDosTime;
  std::string localExtra;
  // With `raw`, `data` is written as it stands (already compressed for
  // method 8) and the headers carry `crc` and `size`.
  bool raw = false;
  uint32_t crc = 0;
  uint64_t size = 0;
};

inline Item File(std::string name, std::string data, uint32_t mode = 0644, int method = Z_DEFLATED) {
  Item item;
  item.name = std::move(name);
  item.data = std::move(data);
  item.external = (kUnixFile | mode) << 16;
  item.method = method;
  return item;
}

// A directory entry as tools on Unix write it: Unix mode and the DOS bit.
inline Item Dir(std::string name, uint32_t mode = 0755) {
  Item item;
  item.name = std::move(name);
  item.external = (kUnixDir | mode) << 16 | 0x10;
  return item;
}

// An entry with DOS attributes only, as archives made on Windows have.
inline Item DosItem(std::string name, std::string data, uint32_t dosAttributes) {
  Item item;
  item.name = std::move(name);
  item.data = std::move(data);
  item.external = dosAttributes;
  item.madeOnUnix = false;
  return item;
}

inline uint32_t Crc(const std::string& data) {
  return static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

// Raw deflate data (no zlib header), as a zip entry holds it.
inline std::string Deflate(const std::string& data) {
  z_stream z{};
  if (deflateInit2(&z, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) throw std::runtime_error("deflate");
  std::string out(deflateBound(&z, static_cast<uLong>(data.size())), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// An extended-timestamp block with the times whose flag is set (bit 0
// modification, bit 1 access, bit 2 creation), in that order.
inline std::string TimestampBlock(unsigned flags, std::vector<uint32_t> times) {
  std::string body(1, static_cast<char>(flags));
  for (uint32_t t : times)
    for (int i = 0; i < 4; ++i) body += static_cast<char>((t >> (8 * i)) & 0xFF);
  std::string block = {'U', 'T', static_cast<char>(body.size() & 0xFF), static_cast<char>(body.size() >> 8)};
  return block + body;
}

inline std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 gen(seed);
  std::string s(size, '\0');
  for (char& c : s) c = static_cast<char>(gen() & 0xFF);
  return s;
}

inline std::string TextBytes(size_t size) {
  std::string s;
  for (size_t i = 0; s.size() < size; ++i) s += "line " + std::to_string(i) + " of a compressible file\n";
  s.resize(size);
  return s;
}

inline void WriteZip(const std::filesystem::path& path, const std::vector<Item>& items) {
  const std::string narrow = path.string();  // the writer takes narrow names on every platform
  zipFile zip = zipOpen64(narrow.c_str(), APPEND_STATUS_CREATE);
  if (zip == nullptr) throw std::runtime_error("cannot create " + path.string());
  struct Closer {
    zipFile& zip;
    ~Closer() {
      if (zip != nullptr) zipClose(zip, nullptr);
    }
  } closer{zip};
  for (const Item& item : items) {
    zip_fileinfo info{};
    info.dosDate = item.dosDate;
    info.external_fa = item.external;
    const uLong madeBy = item.madeOnUnix ? (3u << 8 | 30) : 20;
    if (zipOpenNewFileInZip4_64(zip, item.name.c_str(), &info, item.localExtra.data(),
                                static_cast<uInt>(item.localExtra.size()), nullptr, 0, nullptr, item.method,
                                Z_DEFAULT_COMPRESSION, item.raw ? 1 : 0, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY, nullptr,
                                0, madeBy, 0, 0) != ZIP_OK)
      throw std::runtime_error("cannot add " + item.name);
    if (!item.data.empty() && zipWriteInFileInZip(zip, item.data.data(), static_cast<unsigned>(item.data.size())) != ZIP_OK)
      throw std::runtime_error("cannot write " + item.name);
    const int closed = item.raw ? zipCloseFileInZipRaw64(zip, item.size, item.crc) : zipCloseFileInZip(zip);
    if (closed != ZIP_OK) throw std::runtime_error("cannot close " + item.name);
  }
  const int finished = zipClose(zip, nullptr);
  zip = nullptr;
  if (finished != ZIP_OK) throw std::runtime_error("cannot finish " + path.string());
}

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Changes a 16-bit field of the entry `name` in a written archive: at
// `localOffset` in its local header and at `centralOffset` in its central
// record (a negative offset leaves that header alone). For archives the
// writer refuses to make, such as one with an unknown method.
inline void PatchEntry(const std::filesystem::path& path, const std::string& name, int localOffset, int centralOffset,
                       uint16_t value) {
  std::string bytes = ReadBytes(path);
  auto patch = [&](const std::string& signature, size_t nameAt, int offset) {
    if (offset < 0) return;
    for (size_t at = bytes.find(signature); at != std::string::npos; at = bytes.find(signature, at + 1)) {
      if (bytes.compare(at + nameAt, name.size(), name) != 0) continue;
      bytes[at + static_cast<size_t>(offset)] = static_cast<char>(value & 0xFF);
      bytes[at + static_cast<size_t>(offset) + 1] = static_cast<char>(value >> 8);
      return;
    }
    throw std::runtime_error("no header for " + name);
  };
  patch(std::string("PK\x03\x04", 4), 30, localOffset);
  patch(std::string("PK\x01\x02", 4), 46, centralOffset);
  WriteBytes(path, bytes);
}

// Offsets of the compression method and of the low half of the CRC-32.
inline constexpr int kLocalMethod = 8, kCentralMethod = 10, kLocalCrc = 14;

}  // namespace ziptest
