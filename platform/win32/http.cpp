// HTTP exchanges on WinHTTP in synchronous mode.
//
// WinHTTP already does most of what the contract asks: the default proxy
// configuration, redirects (at most ten, POST turning into GET, never from
// https to http), TLS with the certificate and its name checked against the
// system's store. What is added here: the request target is escaped by us
// (the same way as on POSIX, from UTF-8); an unfollowed https-to-http
// redirect, a body cut short and a set cancel flag end the exchange as
// failures.
#include "platform/http.h"

#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace platform {

namespace {

// WinHTTP's own defaults; only other values are set.
constexpr std::uint32_t kDefaultConnectMs = 60000;
constexpr std::uint32_t kDefaultSendMs = 30000;
constexpr std::uint32_t kDefaultReceiveMs = 30000;

class Handle {
 public:
  Handle() = default;
  explicit Handle(HINTERNET h) : m_h(h) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() { Close(); }
  void Close() {
    if (m_h != nullptr) ::WinHttpCloseHandle(m_h);
    m_h = nullptr;
  }
  HINTERNET Get() const { return m_h; }
  explicit operator bool() const { return m_h != nullptr; }

 private:
  HINTERNET m_h = nullptr;
};

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
  std::string out(static_cast<size_t>(std::max(n, 0)), '\0');
  if (n > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

// The request line carries bytes only from printable ASCII; the rest is
// escaped, from UTF-8, and nothing else is touched.
std::wstring EncodeTarget(const std::wstring& target) {
  static const wchar_t kHex[] = L"0123456789ABCDEF";
  std::wstring out;
  for (const char ch : Utf8(target)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || c == '#') {
      out.push_back(L'%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0x0F]);
    } else {
      out.push_back(static_cast<wchar_t>(c));
    }
  }
  return out;
}

// WinHttpConnect takes an IPv6 literal without its brackets.
std::wstring ServerName(const std::wstring& host) {
  if (host.size() >= 2 && host.front() == L'[' && host.back() == L']') return host.substr(1, host.size() - 2);
  return host;
}

int Timeout(std::uint32_t ms) { return ms == 0 ? -1 : static_cast<int>(std::min<std::uint32_t>(ms, 0x7FFFFFFF)); }

bool QueryHeader(HINTERNET request, DWORD info, std::wstring& value) {
  DWORD bytes = 0;
  ::WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &bytes,
                        WINHTTP_NO_HEADER_INDEX);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return false;
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
  if (!::WinHttpQueryHeaders(request, info, WINHTTP_HEADER_NAME_BY_INDEX, buffer.data(), &bytes,
                             WINHTTP_NO_HEADER_INDEX))
    return false;
  value.assign(buffer.data());
  return true;
}

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
  const size_t n = wcslen(prefix);
  return text.size() >= n &&
         ::CompareStringOrdinal(text.data(), static_cast<int>(n), prefix, static_cast<int>(n), TRUE) == CSTR_EQUAL;
}

// A redirect that WinHTTP declined to follow because it would leave TLS: the
// final response is still the redirect itself.
bool IsRedirectOutOfTls(HINTERNET request, DWORD status) {
  if (status != 301 && status != 302 && status != 303 && status != 307 && status != 308) return false;
  std::wstring location;
  if (!QueryHeader(request, WINHTTP_QUERY_LOCATION, location)) return false;
  DWORD bytes = 0;
  ::WinHttpQueryOption(request, WINHTTP_OPTION_URL, nullptr, &bytes);
  std::vector<wchar_t> url(bytes / sizeof(wchar_t) + 1, L'\0');
  if (bytes == 0 || !::WinHttpQueryOption(request, WINHTTP_OPTION_URL, url.data(), &bytes)) return false;
  return StartsWithNoCase(url.data(), L"https:") && StartsWithNoCase(location, L"http:");
}

// The certificates of a PEM file, in their encoded form.
std::vector<std::vector<BYTE>> ReadPemCertificates(const std::wstring& file) {
  std::vector<std::vector<BYTE>> certificates;
  const HANDLE h = ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return certificates;
  std::string text;
  char chunk[4096];
  DWORD n = 0;
  while (::ReadFile(h, chunk, sizeof chunk, &n, nullptr) && n > 0) text.append(chunk, n);
  ::CloseHandle(h);
  const std::string begin = "-----BEGIN CERTIFICATE-----", end = "-----END CERTIFICATE-----";
  for (size_t at = text.find(begin); at != std::string::npos; at = text.find(begin, at + 1)) {
    const size_t stop = text.find(end, at);
    if (stop == std::string::npos) break;
    const std::string pem = text.substr(at, stop + end.size() - at);
    DWORD size = 0;
    if (!::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, nullptr,
                                &size, nullptr, nullptr))
      continue;
    std::vector<BYTE> der(size);
    if (::CryptStringToBinaryA(pem.c_str(), static_cast<DWORD>(pem.size()), CRYPT_STRING_BASE64HEADER, der.data(),
                               &size, nullptr, nullptr))
      certificates.push_back(std::move(der));
  }
  return certificates;
}

bool ServerCertificateIsOneOf(HINTERNET request, const std::vector<std::vector<BYTE>>& trusted) {
  PCCERT_CONTEXT cert = nullptr;
  DWORD bytes = sizeof cert;
  if (!::WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &cert, &bytes) || cert == nullptr)
    return false;
  bool found = false;
  for (const auto& der : trusted)
    found = found || (der.size() == cert->cbCertEncoded && std::equal(der.begin(), der.end(), cert->pbCertEncoded));
  ::CertFreeCertificateContext(cert);
  return found;
}

// Watches the cancel flag while a synchronous call blocks, and closes the
// request under it, which ends the call with a failure.
class CancelWatch {
 public:
  CancelWatch(const std::atomic<bool>* cancel, HINTERNET request) : m_cancel(cancel), m_request(request) {
    if (m_cancel == nullptr) return;
    m_thread = std::thread([this] {
      std::unique_lock lock(m_mutex);
      while (!m_done) {
        if (m_cancel->load()) {
          m_fired = true;
          ::WinHttpCloseHandle(m_request);
          return;
        }
        m_wake.wait_for(lock, std::chrono::milliseconds(200));
      }
    });
  }
  CancelWatch(const CancelWatch&) = delete;
  CancelWatch& operator=(const CancelWatch&) = delete;
  // Stops watching. True when the watch has closed the request.
  bool Stop() {
    if (m_thread.joinable()) {
      {
        std::lock_guard lock(m_mutex);
        m_done = true;
      }
      m_wake.notify_all();
      m_thread.join();
    }
    return m_fired;
  }
  ~CancelWatch() { Stop(); }

 private:
  const std::atomic<bool>* m_cancel;
  HINTERNET m_request;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  bool m_done = false;
  bool m_fired = false;
  std::thread m_thread;
};

class Exchange {
 public:
  Exchange(const HttpRequest& request, HttpResponseSink& sink) : m_request(request), m_sink(sink) {}

  HttpResult Run() {
    Handle session(::WinHttpOpen(m_request.userAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY,
                                 WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return HttpResult::Failed;
    if (m_request.connectTimeoutMs != kDefaultConnectMs || m_request.sendTimeoutMs != kDefaultSendMs ||
        m_request.receiveTimeoutMs != kDefaultReceiveMs) {
      // Name lookup counts as part of the connection.
      ::WinHttpSetTimeouts(session.Get(), Timeout(m_request.connectTimeoutMs), Timeout(m_request.connectTimeoutMs),
                           Timeout(m_request.sendTimeoutMs), Timeout(m_request.receiveTimeoutMs));
      DWORD response = static_cast<DWORD>(Timeout(m_request.receiveTimeoutMs));
      ::WinHttpSetOption(session.Get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response, sizeof response);
    }
    const Handle connection(::WinHttpConnect(session.Get(), ServerName(m_request.host).c_str(), m_request.port, 0));
    if (!connection) return HttpResult::Failed;

    DWORD flags = WINHTTP_FLAG_ESCAPE_DISABLE | WINHTTP_FLAG_ESCAPE_DISABLE_QUERY;
    if (m_request.secure) flags |= WINHTTP_FLAG_SECURE;
    if (m_request.refresh) flags |= WINHTTP_FLAG_REFRESH;
    const std::wstring target = EncodeTarget(m_request.target);
    HINTERNET request = ::WinHttpOpenRequest(connection.Get(), m_request.verb.c_str(), target.c_str(), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags);
    if (request == nullptr) return HttpResult::Failed;
    CancelWatch watch(m_request.cancel, request);
    const HttpResult result = Send(request);
    // A request the watch has closed is gone already.
    if (!watch.Stop()) ::WinHttpCloseHandle(request);
    return m_request.cancel != nullptr && m_request.cancel->load() && result != HttpResult::Stopped
               ? HttpResult::Failed
               : result;
  }

 private:
  bool Cancelled() const { return m_request.cancel != nullptr && m_request.cancel->load(); }

  HttpResult Send(HINTERNET request) {
    // Only what the caller asks for goes out: no automatic cookies, no
    // credentials. (WinHTTP's own "Connection: Keep-Alive" cannot be held
    // back; see platform/http.h.)
    DWORD disable = WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_AUTHENTICATION;
    ::WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable);
    DWORD policy = WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH;
    ::WinHttpSetOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, &policy, sizeof policy);
    for (const auto& header : m_request.headers)
      ::WinHttpAddRequestHeaders(request, header.c_str(), static_cast<DWORD>(-1L), WINHTTP_ADDREQ_FLAG_ADD);

    std::vector<std::vector<BYTE>> trusted;
    if (m_request.secure && !m_request.trustFile.empty()) {
      // The file's certificates stand in for the system's store: an unknown
      // root is let through the handshake and the server's certificate must
      // be one of the file's.
      trusted = ReadPemCertificates(m_request.trustFile);
      if (trusted.empty()) return HttpResult::Failed;
      DWORD security = SECURITY_FLAG_IGNORE_UNKNOWN_CA;
      ::WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &security, sizeof security);
    }

    const auto length = static_cast<DWORD>(m_request.body.size());
    LPVOID body = length > 0 ? const_cast<char*>(m_request.body.data()) : WINHTTP_NO_REQUEST_DATA;
    if (Cancelled() || !::WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, body, length, length, 0))
      return HttpResult::Failed;
    if (!trusted.empty() && !ServerCertificateIsOneOf(request, trusted)) return HttpResult::Failed;
    if (Cancelled() || !::WinHttpReceiveResponse(request, nullptr)) return HttpResult::Failed;

    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
      return HttpResult::Failed;
    if (IsRedirectOutOfTls(request, status)) return HttpResult::Failed;

    // The announced length, to tell a complete body from a cut one.
    DWORD announced = 0;
    size = sizeof announced;
    const bool hasLength =
        ::WinHttpQueryHeaders(request, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                              WINHTTP_HEADER_NAME_BY_INDEX, &announced, &size, WINHTTP_NO_HEADER_INDEX) != 0;

    if (Cancelled()) return HttpResult::Failed;
    if (!m_sink.OnStatus(static_cast<int>(status))) return HttpResult::Stopped;

    std::uint64_t received = 0;
    std::vector<char> buffer;
    for (;;) {
      if (Cancelled()) return HttpResult::Failed;
      DWORD available = 0;
      if (!::WinHttpQueryDataAvailable(request, &available)) return HttpResult::Failed;
      if (available == 0) break;
      buffer.assign(static_cast<size_t>(available) + 1, '\0');
      DWORD read = 0;
      if (!::WinHttpReadData(request, buffer.data(), available, &read)) return HttpResult::Failed;
      if (read == 0) break;
      received += read;
      if (Cancelled()) return HttpResult::Failed;
      if (!m_sink.OnData(buffer.data(), read)) return HttpResult::Stopped;
    }
    if (hasLength && received < announced) return HttpResult::Failed;
    return HttpResult::Complete;
  }

  const HttpRequest& m_request;
  HttpResponseSink& m_sink;
};

}  // namespace

HttpResult HttpExchange(const HttpRequest& request, HttpResponseSink& sink) {
  try {
    return Exchange(request, sink).Run();
  } catch (...) {
    // Out of memory while building the request, or a sink that throws.
    return HttpResult::Failed;
  }
}

}  // namespace platform
