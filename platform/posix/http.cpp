// HTTP exchanges on libcurl's easy interface.
#include "platform/http.h"

#include <curl/curl.h>
#include <strings.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/text.h"

namespace platform {

namespace {

using Clock = std::chrono::steady_clock;

// The most a time-out can be told to libcurl; stands for "no limit".
constexpr long kNoLimitMs = 0x7fffffff;

long Limit(std::uint32_t ms) { return ms == 0 ? kNoLimitMs : static_cast<long>(std::min<std::uint32_t>(ms, kNoLimitMs)); }

// The request line carries bytes only from printable ASCII; the rest is
// escaped as the system client on Windows escapes an object name.
std::string EncodeTarget(const std::wstring& target) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (const char ch : WideToAnsi(target)) {
    const auto c = static_cast<unsigned char>(ch);
    if (c <= 0x20 || c >= 0x7F || c == '#') {
      out.push_back('%');
      out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0x0F]);
    } else {
      out.push_back(ch);
    }
  }
  return out;
}

bool IsPlainHttp(const char* url) { return url != nullptr && ::strncasecmp(url, "http:", 5) == 0; }

class Exchange {
 public:
  Exchange(const HttpRequest& request, HttpResponseSink& sink) : m_request(request), m_sink(sink) {}

  HttpResult Run() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_ALL); });

    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(BuildHeaders(), &curl_slist_free_all);
    const std::string url = (m_request.secure ? "https://" : "http://") + WideToAnsi(m_request.host) + ":" +
                            std::to_string(m_request.port) + EncodeTarget(m_request.target);
    const std::string agent = WideToAnsi(m_request.userAgent);
    const std::string trust = WideToAnsi(m_request.trustFile);
    m_secureSeen = m_request.secure;
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), &curl_easy_cleanup);
    m_curl = curl.get();
    if (m_curl == nullptr) return HttpResult::Failed;

    CURLcode rc = CURLE_OK;
    auto set = [&](CURLoption option, auto value) {
      if (rc == CURLE_OK) rc = curl_easy_setopt(m_curl, option, value);
    };
    set(CURLOPT_URL, url.c_str());
    set(CURLOPT_PROTOCOLS_STR, "http,https");
    set(CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    set(CURLOPT_FOLLOWLOCATION, 1L);
    set(CURLOPT_MAXREDIRS, 10L);
    set(CURLOPT_PATH_AS_IS, 1L);
    set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    set(CURLOPT_USERAGENT, agent.c_str());
    set(CURLOPT_HTTPHEADER, headers.get());
    set(CURLOPT_NOSIGNAL, 1L);
    set(CURLOPT_CONNECTTIMEOUT_MS, Limit(m_request.connectTimeoutMs));
    // Larger pieces than libcurl's default: fewer writes and reports per
    // package, and still only one piece in memory.
    set(CURLOPT_BUFFERSIZE, 256L * 1024L);
    set(CURLOPT_WRITEFUNCTION, &Exchange::OnBody);
    set(CURLOPT_WRITEDATA, this);
    set(CURLOPT_HEADERFUNCTION, &Exchange::OnHeader);
    set(CURLOPT_HEADERDATA, this);
    set(CURLOPT_PREREQFUNCTION, &Exchange::OnRequestStart);
    set(CURLOPT_PREREQDATA, this);
    set(CURLOPT_XFERINFOFUNCTION, &Exchange::OnProgress);
    set(CURLOPT_XFERINFODATA, this);
    set(CURLOPT_NOPROGRESS, 0L);
    if (m_request.verb == L"POST") {
      set(CURLOPT_POST, 1L);
      set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(m_request.body.size()));
      set(CURLOPT_POSTFIELDS, m_request.body.data() != nullptr ? m_request.body.data() : "");
    } else {
      set(CURLOPT_HTTPGET, 1L);
    }
    if (!trust.empty()) {
      set(CURLOPT_CAINFO, trust.c_str());
      set(CURLOPT_CAPATH, static_cast<const char*>(nullptr));
    }

    m_lastActivity = Clock::now();
    if (rc == CURLE_OK) rc = curl_easy_perform(m_curl);

    HttpResult result = HttpResult::Failed;
    if (m_stopped) {
      result = HttpResult::Stopped;
    } else if (rc == CURLE_OK && !m_broken) {
      result = (m_statusSent || DeliverStatus()) ? HttpResult::Complete : HttpResult::Stopped;
    }
    return result;
  }

 private:
  // Where the exchange stands, for the pause that is allowed.
  enum class Phase { Connecting, Requesting, BetweenHops };

  curl_slist* BuildHeaders() const {
    // Headers libcurl would add on its own that the system client never sends.
    std::vector<std::string> lines = {"Accept:", "Expect:"};
    if (m_request.refresh) {
      lines.push_back("Cache-Control: no-cache");
      lines.push_back("Pragma: no-cache");
    }
    for (const auto& header : m_request.headers) lines.push_back(WideToAnsi(header));
    curl_slist* list = nullptr;
    for (const auto& line : lines)
      if (curl_slist* next = curl_slist_append(list, line.c_str())) list = next;
    return list;
  }

  bool Cancelled() const { return m_request.cancel != nullptr && m_request.cancel->load(); }

  bool DeliverStatus() {
    long status = 0;
    curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &status);
    m_statusSent = true;
    if (!m_sink.OnStatus(static_cast<int>(status))) m_stopped = true;
    return !m_stopped;
  }

  static size_t OnBody(char* data, size_t size, size_t count, void* self) {
    auto& x = *static_cast<Exchange*>(self);
    const size_t bytes = size * count;
    x.m_lastActivity = Clock::now();
    if (x.Cancelled()) {
      x.m_broken = true;
      return 0;
    }
    try {
      if (!x.m_statusSent && !x.DeliverStatus()) return 0;
      if (bytes > 0 && !x.m_sink.OnData(data, bytes)) {
        x.m_stopped = true;
        return 0;
      }
    } catch (...) {
      // An exception must not unwind through libcurl; it ends the exchange.
      x.m_broken = true;
      return 0;
    }
    // The sink may take its time (the download waits for the dialog after
    // each chunk); that wait is ours, not a silent server.
    x.m_lastActivity = Clock::now();
    return bytes;
  }

  static size_t OnHeader(char* data, size_t size, size_t count, void* self) {
    auto& x = *static_cast<Exchange*>(self);
    const size_t bytes = size * count;
    x.m_lastActivity = Clock::now();
    const bool endOfHeaders = (bytes == 2 && data[0] == '\r' && data[1] == '\n') || (bytes == 1 && data[0] == '\n');
    if (endOfHeaders) {
      long status = 0;
      curl_easy_getinfo(x.m_curl, CURLINFO_RESPONSE_CODE, &status);
      // After a redirect's headers the next hop may have to connect anew.
      if (status >= 300 && status < 400) x.m_phase = Phase::BetweenHops;
    }
    return bytes;
  }

  // Called for every request, the first and each redirected one, once its
  // connection stands and before anything is sent on it.
  static int OnRequestStart(void* self, char*, char*, int, int) {
    auto& x = *static_cast<Exchange*>(self);
    char* url = nullptr;
    curl_easy_getinfo(x.m_curl, CURLINFO_EFFECTIVE_URL, &url);
    if (IsPlainHttp(url)) {
      // Once the exchange has been secure, it never continues in the clear.
      if (x.m_secureSeen) return CURL_PREREQFUNC_ABORT;
    } else {
      x.m_secureSeen = true;
    }
    x.m_phase = Phase::Requesting;
    x.m_lastActivity = Clock::now();
    return CURL_PREREQFUNC_OK;
  }

  static int OnProgress(void* self, curl_off_t, curl_off_t dlnow, curl_off_t ultotal, curl_off_t ulnow) {
    auto& x = *static_cast<Exchange*>(self);
    if (x.Cancelled()) {
      x.m_broken = true;
      return 1;
    }
    const auto now = Clock::now();
    if (dlnow != x.m_lastDown || ulnow != x.m_lastUp) {
      x.m_lastDown = dlnow;
      x.m_lastUp = ulnow;
      x.m_lastActivity = now;
    }
    std::uint32_t limit = 0;
    switch (x.m_phase) {
      case Phase::Connecting:
        return 0;  // libcurl's connect time-out watches this phase
      case Phase::Requesting:
        limit = (ultotal > 0 && ulnow < ultotal) ? x.m_request.sendTimeoutMs : x.m_request.receiveTimeoutMs;
        break;
      case Phase::BetweenHops:
        limit = (x.m_request.connectTimeoutMs == 0 || x.m_request.receiveTimeoutMs == 0)
                    ? 0
                    : std::max(x.m_request.connectTimeoutMs, x.m_request.receiveTimeoutMs);
        break;
    }
    if (limit != 0 && now - x.m_lastActivity >= std::chrono::milliseconds(limit)) {
      x.m_broken = true;
      return 1;
    }
    return 0;
  }

  const HttpRequest& m_request;
  HttpResponseSink& m_sink;
  CURL* m_curl = nullptr;
  Phase m_phase = Phase::Connecting;
  bool m_secureSeen = false;
  bool m_statusSent = false;
  bool m_stopped = false;  // the sink asked to stop
  bool m_broken = false;   // cancelled or timed out
  curl_off_t m_lastDown = 0;
  curl_off_t m_lastUp = 0;
  Clock::time_point m_lastActivity;
};

}  // namespace

HttpResult HttpExchange(const HttpRequest& request, HttpResponseSink& sink) {
  try {
    return Exchange(request, sink).Run();
  } catch (...) {
    // Building the request can run out of memory, and a sink may throw when
    // the status is delivered after the transfer; both end the exchange.
    return HttpResult::Failed;
  }
}

}  // namespace platform
