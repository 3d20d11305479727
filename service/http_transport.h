// The updater's HTTP transport: splitting URLs, the check's POST and the
// package download. Each exchange is one synchronous HTTP/1.1 request over a
// fresh session and connection. Only http and https URLs are fetched; https
// goes over TLS with the server's certificate verified.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace service {

// Each part of a split URL holds at most this many characters, its
// terminator included, as the system's URL splitter on Windows allows.
inline constexpr std::size_t kUrlPartCapacity = 256;

struct UrlParts {
  std::wstring scheme;     // "http" or "https", as written
  std::wstring host;       // an IPv6 literal keeps its brackets
  std::uint16_t port = 0;  // the URL's own, else 80 for http and 443 for https
  std::wstring path;       // from the first "/" of the path; may be empty
  std::wstring extraInfo;  // the query ("?...") and the fragment ("#...")
  bool secure = false;     // the scheme is https

  // What the request line asks for: the path ("/" when empty) and the query.
  // The fragment belongs to the client and is never sent.
  std::wstring RequestTarget() const;
};

// Splits an absolute http or https URL. False, with `parts` left in no
// useful state, for another scheme, a missing or malformed host or port,
// control characters, or a part longer than kUrlPartCapacity - 1
// characters. User name and password, when present, are dropped.
bool CrackUrl(const std::wstring& url, UrlParts& parts);

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

// Sends `length` bytes of `body` to `url` as the update check's form POST and
// reads the reply body into `reply` until the body ends or `capacity` bytes
// are there; `count` gets the number of bytes stored. Any HTTP status is
// accepted: its body is the reply. True when the reply was read; false when
// the URL cannot be split, no reply arrived or the exchange broke off, and
// then `reply` is as the caller passed it and `count` is 0.
bool PostRequest(const std::wstring& url, const void* body, std::uint32_t length, char* reply,
                 std::uint32_t capacity, std::uint32_t& count, const TransportOptions& options = {});

// Fetches `url` into `targetFile`. The file is created (anew or emptied) only
// once the response has a 2xx status; the body of any other status is no
// package and is not stored. Each chunk is written, then reported. True when
// the whole body of a 2xx response has been written and the file closed;
// false on every failure, leaving a partly written file in place.
bool DownloadFile(const std::wstring& url, const std::wstring& targetFile, const ChunkReport& report,
                  const TransportOptions& options = {});

}  // namespace service
