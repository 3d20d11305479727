// The platform's HTTP exchange over TLS and across redirects, against loopback servers
// with a certificate made for the test.
#include "platform/http.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support/shell.h"
#include "support/temp_dir.h"
#include "support/test_server.h"

namespace {

using platform::HttpExchange;
using platform::HttpRequest;
using platform::HttpResult;

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

class Collect : public platform::HttpResponseSink {
 public:
  bool OnStatus(int status) override {
    m_status = status;
    return true;
  }
  bool OnData(const void* data, std::size_t size) override {
    m_body.append(static_cast<const char*>(data), size);
    return true;
  }
  int m_status = 0;
  std::string m_body;
};

// A self-signed certificate for 127.0.0.1, made once for all tests here. The
// address is named as a DNS name as well: wine matches only those.
class HttpTls : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_dir = new TempDir;
    const std::string cmd = "openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2"
                            " -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1,DNS:127.0.0.1 -keyout " +
                            ShellPath(Key()) + " -out " + ShellPath(Cert()) + " >/dev/null 2>&1";
    ASSERT_EQ(RunShell(cmd), 0);
  }
  static void TearDownTestSuite() {
    delete s_dir;
    s_dir = nullptr;
  }
  static std::string Cert() { return (*s_dir / "cert.pem").string(); }
  static std::string Key() { return (*s_dir / "key.pem").string(); }

  static HttpRequest Get(const TestServer& server, const std::string& target, bool secure) {
    HttpRequest r;
    r.secure = secure;
    r.host = L"127.0.0.1";
    r.port = static_cast<std::uint16_t>(server.Port());
    r.target = Wide(target);
    r.userAgent = L"test";
    r.connectTimeoutMs = 5000;
    r.receiveTimeoutMs = 5000;
    return r;
  }

  static std::string Escape(const std::string& url) {
    std::string out;
    for (char c : url) out += (c == ':' ? "%3A" : c == '/' ? "%2F" : std::string(1, c));
    return out;
  }

  static TempDir* s_dir;
};
TempDir* HttpTls::s_dir = nullptr;

TEST_F(HttpTls, SecureExchangeVerifiesTheCertificate) {
  TestServer server(Cert(), Key());
  HttpRequest request = Get(server, "/body/100", true);

  Collect untrusted;
  EXPECT_EQ(HttpExchange(request, untrusted), HttpResult::Failed);
  EXPECT_EQ(untrusted.m_status, 0);

  request.trustFile = Wide(Cert());
  Collect trusted;
  ASSERT_EQ(HttpExchange(request, trusted), HttpResult::Complete);
  EXPECT_EQ(trusted.m_status, 200);
  EXPECT_EQ(trusted.m_body, Pattern(0, 100));
}

TEST_F(HttpTls, RedirectFromSecureToPlainIsNeverFollowed) {
  TestServer secure(Cert(), Key());
  TestServer plain;
  const std::string back = "https://127.0.0.1:" + std::to_string(secure.Port()) + "/body/10";
  const std::string out = "http://127.0.0.1:" + std::to_string(plain.Port()) + "/body/10";

  HttpRequest request = Get(secure, "/redirect?to=" + Escape(back), true);
  request.trustFile = Wide(Cert());
  Collect staying;
  ASSERT_EQ(HttpExchange(request, staying), HttpResult::Complete);
  EXPECT_EQ(staying.m_body, Pattern(0, 10));

  request.target = Wide("/redirect?to=" + Escape(out));
  Collect leaving;
  EXPECT_EQ(HttpExchange(request, leaving), HttpResult::Failed);
  EXPECT_EQ(plain.RecordCount(), 0);
}

}  // namespace
