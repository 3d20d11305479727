// HTTP/1.1 exchanges: one synchronous request and its response per call.
//
// Each call opens its own session and connection (redirects may reuse the
// connection within the call), sends the request and pushes the response into
// a sink as it arrives: first the status of the final response, then each
// piece of its body in the order received. Nothing is kept between calls.
//
// What reaches the wire is exactly: the request line (verb, target, HTTP/1.1),
// Host, User-Agent, the caller's headers, Content-Length for a POST, and with
// `refresh` the two no-cache directives. Nothing else: no Accept, no Expect,
// no Connection, no compression, no cookies, no credentials. (The system client
// on Windows adds "Connection: Keep-Alive" to every request on its own; it
// cannot be switched off there.)
//
// Contract (both realisations):
// - Only http and https are ever spoken, also when a server redirects.
// - `secure` means TLS with the server's certificate and name verified.
// - Proxies are used only as the platform's default configuration asks (on
//   POSIX the usual proxy environment variables, on Windows the system's).
// - Redirects are followed as the system client does by default: up to ten,
//   a POST turning into a GET on 301, 302 and 303. A redirect from https to
//   plain http is never followed; the exchange then fails.
// - Time-outs, in milliseconds (0 = no limit): connect covers name lookup and
//   connection set-up; send is the longest pause while the request goes out;
//   receive is the longest wait for the response and the longest pause
//   between two pieces of the body. When one runs out the exchange fails.
// - A set `cancel` flag is noticed within about a second, and before every
//   piece is delivered; the exchange then fails.
// - A body shorter than its announced length, a broken chunked body or a
//   broken connection before the end of the body make the exchange fail.
// - The call never throws.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

struct HttpRequest {
  bool secure = false;
  std::wstring host;  // a name or address as written in the URL; an IPv6 literal keeps its brackets
  std::uint16_t port = 80;
  std::wstring verb = L"GET";  // "GET" (no body) or "POST"
  // Path and query, starting with "/". Sent as given, except that characters
  // that cannot stand in a request line (spaces, control and non-ASCII
  // characters) go out percent-encoded, as the system client does.
  std::wstring target = L"/";
  std::wstring userAgent;
  std::vector<std::wstring> headers;  // whole "Name: value" lines
  bool refresh = false;               // ask caches not to answer from a stored copy
  std::string_view body;              // the POST body; must outlive the call
  std::uint32_t connectTimeoutMs = 60000;
  std::uint32_t sendTimeoutMs = 30000;
  std::uint32_t receiveTimeoutMs = 30000;
  const std::atomic<bool>* cancel = nullptr;
  // PEM file of the certificates trusted in place of the system's store.
  // The program leaves it empty; tests trust a certificate they made. (On
  // Windows the server's certificate must be one of the file's; it is checked
  // once the request has gone out, before any of the response is read.)
  std::wstring trustFile;
};

// Receives one response. Returning false from either call stops the exchange
// at once (the rest of the body is not read) and the call returns Stopped.
class HttpResponseSink {
 public:
  virtual ~HttpResponseSink() = default;
  // Once, with the final response's status code, before any body byte; not
  // called when no response arrived.
  virtual bool OnStatus(int status) = 0;
  // A piece of the body (never empty), valid only during the call.
  virtual bool OnData(const void* data, std::size_t size) = 0;
};

enum class HttpResult {
  Complete,  // the whole response was delivered
  Stopped,   // the sink asked to stop
  Failed,    // no response, or the exchange broke off
};

HttpResult HttpExchange(const HttpRequest& request, HttpResponseSink& sink);

}  // namespace platform
