// The update check against a loopback server that answers with a reply the
// test wrote.
#include "platform/text.h"
#include "service/check_update.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/test_server.h"

namespace {

bool AllZero(const UpdateInfo& info) {
  UpdateInfo zero;
  std::memset(&zero, 0, sizeof zero);
  return std::memcmp(&info, &zero, sizeof info) == 0;
}

class Check : public ::testing::Test {
 protected:
  // Serves `reply` and runs the check; the host text carries the port and the
  // suffix is one path segment in front of the check's path.
  int Run(const std::string& reply, const std::wstring& localVersion = L"1.0") {
    m_server.Dir().Write("reply.json", reply);
    std::memset(&m_info, 0, sizeof m_info);
    m_newVersion = L"unchanged";
    return service::CheckUpdate(Host(), L"/reply/reply.json", localVersion, m_info, m_newVersion);
  }
  std::wstring Host() const { return L"127.0.0.1:" + std::to_wstring(m_server.Port()); }

  TestServer m_server;
  UpdateInfo m_info;
  std::wstring m_newVersion;
};

TEST_F(Check, FillsTheRecordFromTheReply) {
  struct Case {
    const char* name;
    std::string reply;
    int result;
    std::int64_t size;
    std::string version;
    std::string url;
  };
  const std::string full =
      R"({"result":true,"isupdate":true,"new_ver":"1.2.0","size":1048576,"url":"http://h/dl/pkg.zip",)"
      R"("time":"2024-05-01","content":"fixes"})";
  const std::vector<Case> cases = {
      {"update", full, 1, 1048576, "1.2.0", "http://h/dl/pkg.zip"},
      {"members in another order",
       R"({"url":"http://h/dl/pkg.zip","size":1048576,"new_ver":"1.2.0","isupdate":true,"result":true})", 1,
       1048576, "1.2.0", "http://h/dl/pkg.zip"},
      {"no update, fields still filled", R"({"result":true,"isupdate":false,"new_ver":"1.0","size":5,"url":"u"})",
       0, 5, "1.0", "u"},
      {"nothing but the decision", R"({"result":true,"isupdate":true})", 1, 0, "", ""},
      {"isupdate not a boolean", R"({"result":true,"isupdate":"true","new_ver":"2"})", 0, 0, "2", ""},
      {"size truncated toward zero", R"({"result":true,"isupdate":true,"size":1048576.9})", 1, 1048576, "", ""},
      {"negative size truncated toward zero", R"({"result":true,"isupdate":true,"size":-5.7})", 1, -5, "", ""},
      {"size as text", R"({"result":true,"isupdate":true,"size":"123"})", 1, 0, "", ""},
      {"largest size", R"({"result":true,"isupdate":true,"size":2147483647})", 1, 2147483647, "", ""},
      {"smallest size", R"({"result":true,"isupdate":true,"size":-2147483648.5})", 1, -2147483648LL, "", ""},
      {"15-byte version", R"({"result":true,"isupdate":true,"new_ver":"123456789012345"})", 1, 0,
       "123456789012345", ""},
      {"511-byte url", R"({"result":true,"isupdate":true,"url":")" + std::string(511, 'u') + "\"}", 1, 0, "",
       std::string(511, 'u')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Run(c.reply), c.result);
    EXPECT_EQ(m_info.nPackageSize, c.size);
    EXPECT_EQ(std::string(m_info.szNewVersion), c.version);
    EXPECT_EQ(std::string(m_info.szPackageUrl), c.url);
    EXPECT_EQ(m_newVersion, std::wstring(c.version.begin(), c.version.end()));
  }
}

TEST_F(Check, NonAsciiVersionIsKeptAsBytesAndWidened) {
  // The service answers in the narrow code page (UTF-8 on POSIX).
  const std::string version = platform::WideToAnsi(L"版本2");
  ASSERT_EQ(Run(R"({"result":true,"isupdate":true,"new_ver":")" + version + "\"}"), 1);
  EXPECT_EQ(std::string(m_info.szNewVersion), version);
  EXPECT_EQ(m_newVersion, L"版本2");
}

TEST_F(Check, RefusedRepliesLeaveEverythingUntouched) {
  const std::string ok = R"("result":true,"isupdate":true,"size":10,"url":"http://h/p.zip")";
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"result false", R"({"result":false,"isupdate":true,"new_ver":"2","size":10,"url":"u"})"},
      {"result missing", R"({"isupdate":true,"new_ver":"2"})"},
      {"result not a boolean", R"({"result":"true","isupdate":true})"},
      {"empty reply", ""},
      {"plain text", "Service Unavailable"},
      {"top level is an array", R"([{"result":true,"isupdate":true}])"},
      {"member named twice", R"({"result":true,"isupdate":true,"isupdate":true})"},
      {"truncated", R"({"result":true,"isupdate":tr)"},
      {"16-byte version", "{" + ok + R"(,"new_ver":"1234567890123456"})"},
      {"512-byte url", R"({"result":true,"isupdate":true,"url":")" + std::string(512, 'u') + "\"}"},
      {"size past 32 bits", R"({"result":true,"isupdate":true,"size":2147483648})"},
      {"size below 32 bits", R"({"result":true,"isupdate":true,"size":-2147483649})"},
      {"version with a slash", "{" + ok + R"(,"new_ver":"../../x"})"},
      {"version with a backslash", "{" + ok + R"(,"new_ver":"1\\2"})"},
      {"version with a colon", "{" + ok + R"(,"new_ver":"c:2"})"},
      {"version with a line break", "{" + ok + R"(,"new_ver":"2\n"})"},
      {"version with a zero byte", "{" + ok + R"(,"new_ver":"2\u0000x"})"},
      {"version dot", "{" + ok + R"(,"new_ver":"."})"},
      {"version dot dot", "{" + ok + R"(,"new_ver":".."})"},
      // Only the first 5120 bytes are read: this object's end lies past them.
      {"reply longer than the buffer",
       R"({"result":true,"isupdate":true,"new_ver":"2")" + std::string(6000, ' ') + "}"},
  };
  for (const auto& [name, reply] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Run(reply), 0);
    EXPECT_TRUE(AllZero(m_info));
    EXPECT_EQ(m_newVersion, L"unchanged");
  }
}

TEST_F(Check, PostsTheLocalVersionToTheSuffixedPath) {
  ASSERT_EQ(Run(R"({"result":true,"isupdate":false})", L"1.0"), 0);
  ASSERT_EQ(Run(R"({"result":true,"isupdate":false})", L"1.0-测试"), 0);
  ASSERT_EQ(m_server.RecordCount(), 2);

  const RawRequest first = m_server.Request(1);
  EXPECT_EQ(first.line, "POST /reply/reply.json/api/check/ HTTP/1.1");
  EXPECT_EQ(first.headers.find("host")->second, "127.0.0.1:" + std::to_string(m_server.Port()));
  EXPECT_EQ(first.headers.find("content-type")->second, "application/x-www-form-urlencoded");
  EXPECT_EQ(first.headers.find("content-length")->second, "7");
  EXPECT_EQ(first.body, "ver=1.0");
  // Sent in the narrow code page as it is, without form escaping.
  EXPECT_EQ(m_server.Request(2).body, "ver=1.0-" + platform::WideToAnsi(L"测试"));
}

TEST_F(Check, BodyMustFitTheRequestBuffer) {
  const std::string reply = R"({"result":true,"isupdate":true})";
  EXPECT_EQ(Run(reply, std::wstring(5115, L'9')), 1);  // 5119 bytes and the terminator
  EXPECT_EQ(Run(reply, std::wstring(5116, L'9')), 0);
  EXPECT_EQ(m_server.RecordCount(), 1);
}

TEST(CheckWithoutServer, UnreachableServiceMeansNoUpdate) {
  UpdateInfo info;
  std::memset(&info, 0, sizeof info);
  std::wstring newVersion;
  EXPECT_EQ(service::CheckUpdate(L"127.0.0.1:1", L"", L"1.0", info, newVersion), 0);
  EXPECT_EQ(service::CheckUpdate(L"bad host", L"", L"1.0", info, newVersion), 0);
  EXPECT_TRUE(AllZero(info));
}

}  // namespace
