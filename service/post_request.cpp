// The update check's POST.
#include <algorithm>
#include <cstring>
#include <string>

#include "service/exchange.h"
#include "service/http_transport.h"

namespace service {

namespace {

// Keeps the reply body up to the capacity and stops the exchange there.
class ReplySink : public platform::HttpResponseSink {
 public:
  explicit ReplySink(std::uint32_t capacity) : m_nCapacity(capacity) {}

  // Whatever the status, its body is what the check parses.
  bool OnStatus(int) override { return m_nCapacity > 0; }

  bool OnData(const void* data, std::size_t size) override {
    const std::size_t room = m_nCapacity - m_strReply.size();
    m_strReply.append(static_cast<const char*>(data), std::min(size, room));
    return m_strReply.size() < m_nCapacity;
  }

  bool Full() const { return m_strReply.size() == m_nCapacity; }
  const std::string& Reply() const { return m_strReply; }

 private:
  std::uint32_t m_nCapacity;
  std::string m_strReply;
};

}  // namespace

bool PostRequest(const std::wstring& url, const void* body, std::uint32_t length, char* reply,
                 std::uint32_t capacity, std::uint32_t& count, const TransportOptions& options) {
  count = 0;
  UrlParts parts;
  if (!CrackUrl(url, parts)) return false;

  platform::HttpRequest request = MakeRequest(parts, L"POST", L"A WinHTTP Example Program/1.0", options);
  request.headers.push_back(L"Content-Type: application/x-www-form-urlencoded");
  request.body = std::string_view(static_cast<const char*>(body), body != nullptr ? length : 0);

  ReplySink sink(capacity);
  const platform::HttpResult result = platform::HttpExchange(request, sink);
  // A reply cut short is no reply: only a whole body, or a full buffer, counts.
  const bool read = result == platform::HttpResult::Complete ||
                    (result == platform::HttpResult::Stopped && sink.Full());
  if (!read) return false;
  if (!sink.Reply().empty()) std::memcpy(reply, sink.Reply().data(), sink.Reply().size());
  count = static_cast<std::uint32_t>(sink.Reply().size());
  return true;
}

}  // namespace service
