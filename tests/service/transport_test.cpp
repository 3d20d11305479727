// The transport against a real loopback server that records what reaches the
// wire and misbehaves on request.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "service/http_transport.h"
#include "support/environment.h"
#include "support/test_server.h"

namespace {

using service::CrackUrl;
using service::DownloadFile;
using service::PostRequest;
using service::TransportOptions;
using service::UrlParts;

// Waits shortened so that a silent server fails a test quickly.
TransportOptions ShortWaits() {
  TransportOptions o;
  o.connectTimeoutMs = 5000;
  o.sendTimeoutMs = 300;
  o.receiveTimeoutMs = 300;
  return o;
}

std::set<std::string> HeaderNames(const RawRequest& r) {
  std::set<std::string> names;
  for (const auto& [name, value] : r.headers)
    // The system client on Windows announces this itself; nothing else may
    // come along.
    if (!(name == "connection" && value == "Keep-Alive")) names.insert(name);
  return names;
}

std::string Header(const RawRequest& r, const std::string& name) {
  const auto it = r.headers.find(name);
  return it == r.headers.end() ? "<none>" : it->second;
}

// ---------------------------------------------------------------------------
// Splitting URLs

struct CrackCase {
  std::wstring url;
  std::wstring host;
  std::uint16_t port;
  std::wstring path;
  std::wstring extra;
  bool secure;
  std::wstring target;
};

TEST(CrackUrl, SplitsHostPortPathAndExtraInformation) {
  const std::vector<CrackCase> cases = {
      {L"http://example.com/a/b.zip", L"example.com", 80, L"/a/b.zip", L"", false, L"/a/b.zip"},
      {L"HTTP://Example.com:8080/api/check/", L"Example.com", 8080, L"/api/check/", L"", false, L"/api/check/"},
      {L"https://example.com/pkg.zip", L"example.com", 443, L"/pkg.zip", L"", true, L"/pkg.zip"},
      {L"https://example.com:8443", L"example.com", 8443, L"", L"", true, L"/"},
      {L"http://h/p.zip?sig=a%2Fb&t=2#frag", L"h", 80, L"/p.zip", L"?sig=a%2Fb&t=2#frag", false,
       L"/p.zip?sig=a%2Fb&t=2"},
      {L"http://h?x=1", L"h", 80, L"", L"?x=1", false, L"/?x=1"},
      {L"http://h/p#only-fragment", L"h", 80, L"/p", L"#only-fragment", false, L"/p"},
      {L"http://user:pw@h:81/p", L"h", 81, L"/p", L"", false, L"/p"},
      {L"http://[::1]:8080/p", L"[::1]", 8080, L"/p", L"", false, L"/p"},
      {L"http://h:/p", L"h", 80, L"/p", L"", false, L"/p"},
      {L"http://h:65535/", L"h", 65535, L"/", L"", false, L"/"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.url.begin(), c.url.end()));
    UrlParts parts;
    ASSERT_TRUE(CrackUrl(c.url, parts));
    EXPECT_EQ(parts.host, c.host);
    EXPECT_EQ(parts.port, c.port);
    EXPECT_EQ(parts.path, c.path);
    EXPECT_EQ(parts.extraInfo, c.extra);
    EXPECT_EQ(parts.secure, c.secure);
    EXPECT_EQ(parts.RequestTarget(), c.target);
  }
}

TEST(CrackUrl, RefusesOtherSchemesAndMalformedUrls) {
  for (const std::wstring url : {L"ftp://h/p", L"file:///etc/passwd", L"h/p.zip", L"http:/h/p", L"http:///p",
                                 L"http://h:65536/", L"http://h:0/", L"http://h:8o/", L"http://[::1/p",
                                 L"http://h x/", L"http://h/p\r\nX-Injected: 1", L""}) {
    SCOPED_TRACE(std::string(url.begin(), url.end()));
    UrlParts parts;
    EXPECT_FALSE(CrackUrl(url, parts));
  }
}

TEST(CrackUrl, EachPartHoldsAtMost255Characters) {
  const std::wstring fits(255 - 1, L'a');  // with the leading "/" or "?"
  const std::wstring host255(255, L'h');
  UrlParts parts;
  EXPECT_TRUE(CrackUrl(L"http://" + host255 + L"/p", parts));
  EXPECT_FALSE(CrackUrl(L"http://" + host255 + L"h/p", parts));
  EXPECT_TRUE(CrackUrl(L"http://h/" + fits, parts));
  EXPECT_FALSE(CrackUrl(L"http://h/" + fits + L"a", parts));
  EXPECT_TRUE(CrackUrl(L"http://h/p?" + fits, parts));
  EXPECT_FALSE(CrackUrl(L"http://h/p?" + fits + L"a", parts));
}

// ---------------------------------------------------------------------------
// What reaches the wire

TEST(Wire, CheckPostsTheFormBodyWithItsHeadersOnly) {
  // The second body is long enough that a client would ask for a
  // "100-continue" first; the check never does.
  for (const std::string& body : {std::string("ver=1.0"), "ver=" + std::string(5115, '9')}) {
    TestServer server;
    server.Dir().Write("r.json", "{\"result\":true}");
    char reply[5120] = {};
    std::uint32_t count = 99;
    ASSERT_TRUE(PostRequest(server.Url("/reply/r.json/api/check/"), body.data(),
                            static_cast<std::uint32_t>(body.size()), reply, sizeof reply, count));
    EXPECT_EQ(std::string(reply, count), "{\"result\":true}");

    ASSERT_EQ(server.RecordCount(), 1);
    const RawRequest r = server.Request(1);
    EXPECT_EQ(r.line, "POST /reply/r.json/api/check/ HTTP/1.1");
    EXPECT_EQ(HeaderNames(r), (std::set<std::string>{"host", "user-agent", "content-type", "content-length"}));
    EXPECT_EQ(Header(r, "host"), "127.0.0.1:" + std::to_string(server.Port()));
    EXPECT_EQ(Header(r, "user-agent"), "A WinHTTP Example Program/1.0");
    EXPECT_EQ(Header(r, "content-type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(Header(r, "content-length"), std::to_string(body.size()));
    EXPECT_EQ(r.body, body);
  }
}

TEST(Wire, DownloadSendsPathAndQueryButNoFragment) {
  TestServer server;
  TempDir dir;
  ASSERT_TRUE(DownloadFile(server.Url("/body/10?sig=a%2Fb&x=1#part"), (dir / "p.zip").wstring(), nullptr));
  EXPECT_EQ(dir.Read("p.zip"), Pattern(0, 10));

  ASSERT_EQ(server.RecordCount(), 1);
  const RawRequest r = server.Request(1);
  EXPECT_EQ(r.line, "GET /body/10?sig=a%2Fb&x=1 HTTP/1.1");
  EXPECT_EQ(HeaderNames(r), (std::set<std::string>{"host", "user-agent", "cache-control", "pragma"}));
  EXPECT_EQ(Header(r, "user-agent"), "WinHTTP");
  EXPECT_EQ(Header(r, "cache-control"), "no-cache");
  EXPECT_EQ(Header(r, "pragma"), "no-cache");
  EXPECT_EQ(r.body, "");
}

TEST(Wire, CharactersThatCannotStandInARequestLineGoOutEscaped) {
  TestServer server;
  TempDir dir;
  ASSERT_TRUE(DownloadFile(server.Url("/body/3") + L"?name=a b&v=\u7248", (dir / "p.zip").wstring(), nullptr));
  EXPECT_EQ(server.Request(1).line, "GET /body/3?name=a%20b&v=%E7%89%88 HTTP/1.1");
}

TEST(Wire, HttpsUrlNeverGoesOutInTheClear) {
  // A plain server on the port: a secure client opens with a TLS handshake
  // (record type 22), never with a request line.
  TestServer server;
  TempDir dir;
  EXPECT_FALSE(DownloadFile(server.Url("/body/10", "https"), (dir / "p.zip").wstring(), nullptr, ShortWaits()));
  EXPECT_FALSE(std::filesystem::exists(dir / "p.zip"));
  ASSERT_EQ(server.RecordCount(), 1);
  const std::string raw = server.Raw(1);
  ASSERT_FALSE(raw.empty());
  EXPECT_EQ(raw[0], '\x16');
}

TEST(Wire, ProxyFromTheEnvironmentIsUsed) {
  if (platform::kPathSeparator == L'\\')
    GTEST_SKIP() << "on Windows the proxy comes from the system's configuration, not from the environment";
  // The loopback server stands in as the proxy; the package host does not
  // exist, so only a request through the proxy can succeed.
  TestServer proxy;
  const std::string proxyUrl = "http://127.0.0.1:" + std::to_string(proxy.Port());
  SetEnv("http_proxy", proxyUrl.c_str());
  TempDir dir;
  const bool ok = DownloadFile(L"http://updates.example.invalid/body/5", (dir / "p.zip").wstring(), nullptr);
  UnsetEnv("http_proxy");
  ASSERT_TRUE(ok);
  EXPECT_EQ(dir.Read("p.zip"), Pattern(0, 5));
  EXPECT_EQ(proxy.Request(1).line, "GET http://updates.example.invalid/body/5 HTTP/1.1");
}

// ---------------------------------------------------------------------------
// The check's reply

TEST(PostRequest, ReadsTheReplyToItsEndOrTheCapacity) {
  struct Case {
    const char* name;
    std::string path;
    bool ok;
    std::string reply;  // what the buffer holds afterwards (rest zero)
  };
  const std::string page = "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>";
  const std::vector<Case> cases = {
      {"reply in three pieces", "/pieces/3/1000", true, Pattern(0, 3000)},
      {"reply longer than the buffer", "/body/10000", true, Pattern(0, 5120)},
      {"error status: its body is the reply", "/notfound", true, page},
      {"empty reply", "/empty", true, ""},
      {"connection cut mid-body", "/cut/1000/400", false, ""},
      {"silent server", "/silent", false, ""},
      {"server stalls mid-body", "/stall/1000/400", false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TestServer server;
    std::vector<char> reply(5120, '\0');
    std::uint32_t count = 99;
    EXPECT_EQ(PostRequest(server.Url(c.path), "ver=1", 5, reply.data(), 5120, count, ShortWaits()), c.ok);
    EXPECT_EQ(count, c.reply.size());
    std::string expected = c.reply;
    expected.resize(5120, '\0');
    EXPECT_EQ(std::string(reply.data(), reply.size()), expected);
  }
}

TEST(PostRequest, NothingIsSentForAUrlThatCannotBeSplit) {
  TestServer server;
  char reply[16] = {};
  std::uint32_t count = 99;
  const std::wstring tooLong = server.Url("/" + std::string(300, 'a'));
  EXPECT_FALSE(PostRequest(tooLong, "ver=1", 5, reply, sizeof reply, count));
  EXPECT_FALSE(PostRequest(L"ftp://127.0.0.1/x", "ver=1", 5, reply, sizeof reply, count));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(server.RecordCount(), 0);
}

TEST(PostRequest, NoServerIsAnEmptyReply) {
  // Port 1 on loopback: nothing listens there, the connection is refused.
  char reply[16] = {};
  std::uint32_t count = 99;
  EXPECT_FALSE(PostRequest(L"http://127.0.0.1:1/api/check/", "ver=1", 5, reply, sizeof reply, count));
  EXPECT_EQ(count, 0u);
  EXPECT_EQ(std::string(reply, sizeof reply), std::string(sizeof reply, '\0'));
}

// ---------------------------------------------------------------------------
// The download

class Download : public ::testing::Test {
 protected:
  std::wstring Target() const { return (m_dir / "pkg.zip").wstring(); }
  bool Exists() const { return std::filesystem::exists(m_dir / "pkg.zip"); }
  std::string Stored() const { return m_dir.Read("pkg.zip"); }
  std::uint64_t Sum() const {
    std::uint64_t s = 0;
    for (auto n : m_reports) s += n;
    return s;
  }
  service::ChunkReport Recorder() {
    return [this](std::uint32_t n) { m_reports.push_back(n); };
  }

  TestServer m_server;
  TempDir m_dir;
  std::vector<std::uint32_t> m_reports;
};

TEST_F(Download, EachChunkIsWrittenBeforeItIsReported) {
  // The server sends a piece only after the previous one was reported, so the
  // three pieces arrive as three chunks.
  auto report = [this](std::uint32_t n) {
    m_reports.push_back(n);
    EXPECT_EQ(std::filesystem::file_size(m_dir / "pkg.zip"), Sum());
    m_server.Ack(static_cast<int>(m_reports.size()));
  };
  ASSERT_TRUE(DownloadFile(m_server.Url("/pieces/3/1000?ack"), Target(), report));
  EXPECT_EQ(m_reports, (std::vector<std::uint32_t>{1000, 1000, 1000}));
  EXPECT_EQ(Stored(), Pattern(0, 3000));
}

TEST_F(Download, EmptyBodyGivesAnEmptyFileAndNoReport) {
  m_dir.Write("pkg.zip", "stale bytes of an earlier try");
  ASSERT_TRUE(DownloadFile(m_server.Url("/empty"), Target(), Recorder()));
  EXPECT_TRUE(Exists());
  EXPECT_EQ(Stored(), "");
  EXPECT_TRUE(m_reports.empty());
}

TEST_F(Download, ErrorStatusStoresNothing) {
  EXPECT_FALSE(DownloadFile(m_server.Url("/notfound"), Target(), Recorder()));
  EXPECT_FALSE(Exists());
  EXPECT_TRUE(m_reports.empty());
}

TEST_F(Download, BrokenTransfersFailAndKeepWhatWasWritten) {
  struct Case {
    const char* name;
    std::string path;
    std::string stored;  // nullopt-like: "-" for no file
  };
  const std::vector<Case> cases = {
      {"connection cut mid-body", "/cut/1000/400", Pattern(0, 400)},
      {"server stalls mid-body", "/stall/1000/400", Pattern(0, 400)},
      {"server never answers", "/silent", "-"},
      {"redirect to another scheme", "/redirect?to=file%3A%2F%2F%2Fetc%2Fhostname", "-"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove(m_dir / "pkg.zip");
    m_reports.clear();
    EXPECT_FALSE(DownloadFile(m_server.Url(c.path), Target(), Recorder(), ShortWaits()));
    if (c.stored == "-") {
      EXPECT_FALSE(Exists());
    } else {
      EXPECT_EQ(Stored(), c.stored);
    }
    EXPECT_EQ(Sum(), c.stored == "-" ? 0u : c.stored.size());
  }
}

TEST_F(Download, TargetThatCannotBeCreatedFails) {
  EXPECT_FALSE(DownloadFile(m_server.Url("/body/100"), (m_dir / "missing" / "pkg.zip").wstring(), Recorder()));
  EXPECT_TRUE(m_reports.empty());
}

TEST_F(Download, PlainRedirectIsFollowed) {
  const std::string to = "http%3A%2F%2F127.0.0.1%3A" + std::to_string(m_server.Port()) + "%2Fbody%2F100";
  ASSERT_TRUE(DownloadFile(m_server.Url("/redirect?to=" + to), Target(), Recorder()));
  EXPECT_EQ(Stored(), Pattern(0, 100));
  EXPECT_EQ(Sum(), 100u);
  ASSERT_EQ(m_server.RecordCount(), 2);
  EXPECT_EQ(m_server.Request(2).line, "GET /body/100 HTTP/1.1");
}

TEST_F(Download, CancelStopsARunningDownload) {
  // The server holds the second piece back until an ack that never comes; the
  // flag set in the first report must end the wait.
  std::atomic<bool> cancel{false};
  TransportOptions options;
  options.cancel = &cancel;
  auto report = [&](std::uint32_t n) {
    m_reports.push_back(n);
    cancel = true;
  };
  EXPECT_FALSE(DownloadFile(m_server.Url("/pieces/3/1000?ack"), Target(), report, options));
  EXPECT_EQ(m_reports, (std::vector<std::uint32_t>{1000}));
  EXPECT_EQ(Stored(), Pattern(0, 1000));
}

TEST_F(Download, UrlThatCannotBeSplitCreatesNothing) {
  EXPECT_FALSE(DownloadFile(L"pkg.zip", Target(), Recorder()));
  EXPECT_FALSE(Exists());
  EXPECT_EQ(m_server.RecordCount(), 0);
}

}  // namespace
