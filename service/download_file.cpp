// The package download.
#include "platform/files.h"
#include "service/exchange.h"
#include "service/http_transport.h"

namespace service {

namespace {

// Writes the body of a 2xx response straight to the file, chunk by chunk.
class PackageSink : public platform::HttpResponseSink {
 public:
  PackageSink(const std::wstring& targetFile, const ChunkReport& report)
      : m_strTargetFile(targetFile), m_report(report) {}

  // An error page is no package: its body is not stored.
  bool OnStatus(int status) override { return status >= 200 && status <= 299 && m_file.Create(m_strTargetFile); }

  bool OnData(const void* data, std::size_t size) override {
    if (!m_file.Write(data, size)) return false;
    if (m_report) m_report(static_cast<std::uint32_t>(size));
    return true;
  }

  bool Close() { return m_file.IsOpen() && m_file.Close(); }

 private:
  const std::wstring& m_strTargetFile;
  const ChunkReport& m_report;
  platform::OutputFile m_file;
};

}  // namespace

bool DownloadFile(const std::wstring& url, const std::wstring& targetFile, const ChunkReport& report,
                  const TransportOptions& options) {
  UrlParts parts;
  if (!CrackUrl(url, parts)) return false;

  platform::HttpRequest request = MakeRequest(parts, L"GET", L"WinHTTP", options);
  request.refresh = true;

  PackageSink sink(targetFile, report);
  const platform::HttpResult result = platform::HttpExchange(request, sink);
  const bool stored = sink.Close();
  return result == platform::HttpResult::Complete && stored;
}

}  // namespace service
