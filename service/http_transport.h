// The updater's HTTP transport: splitting URLs, the check's POST and the
// package download. Each exchange is one synchronous HTTP/1.1 request over a
// fresh session and connection.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace service {

// Waits of the exchanges, in milliseconds. The defaults are the program's.
struct TransportOptions {
  std::uint32_t connectTimeoutMs = 60000;
  std::uint32_t sendTimeoutMs = 30000;
  std::uint32_t receiveTimeoutMs = 30000;  // longest pause without any data
  // When set and it becomes true, a running download stops and fails.
  const std::atomic<bool>* cancel = nullptr;
};

// Called after each chunk of the body has been written to the file, with that
// chunk's byte count.
using ChunkReport = std::function<void(std::uint32_t bytes)>;

// Fetches `url` into `targetFile` (created anew or emptied). True when the
// whole body of a successful response has been written; false on every
// failure, leaving a partly written file in place.
bool DownloadFile(const std::wstring& url, const std::wstring& targetFile, const ChunkReport& report,
                  const TransportOptions& options = {});

}  // namespace service
