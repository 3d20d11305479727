// The misbehaving loopback server (tests/service/test_server.py) for one
// test, in a folder of its own, with the requests it recorded.
#pragma once

#include <cctype>
#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/server_process.h"
#include "support/temp_dir.h"

// One request as the server received it.
struct RawRequest {
  std::string line;                            // the request line
  std::multimap<std::string, std::string> headers;  // lower-case names
  std::string body;
};

inline RawRequest ParseRequest(const std::string& raw) {
  RawRequest r;
  const size_t headEnd = raw.find("\r\n\r\n");
  const std::string head = raw.substr(0, headEnd);
  r.body = headEnd == std::string::npos ? std::string() : raw.substr(headEnd + 4);
  size_t pos = head.find("\r\n");
  r.line = head.substr(0, pos);
  while (pos != std::string::npos) {
    const size_t next = head.find("\r\n", pos + 2);
    const std::string field = head.substr(pos + 2, next == std::string::npos ? std::string::npos : next - pos - 2);
    const size_t colon = field.find(':');
    std::string name = field.substr(0, colon);
    for (auto& ch : name) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    std::string value = colon == std::string::npos ? std::string() : field.substr(colon + 1);
    value.erase(0, value.find_first_not_of(' '));
    r.headers.emplace(name, value);
    pos = next;
  }
  return r;
}

// Byte i of the server's test pattern.
inline std::string Pattern(size_t offset, size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((offset + i) % 251);
  return s;
}

class TestServer {
 public:
  // With a certificate and key, the server speaks TLS.
  explicit TestServer(const std::string& cert = {}, const std::string& key = {})
      : m_process(Args(m_dir, cert, key)) {}

  int Port() const { return m_process.Port(); }
  const TempDir& Dir() const { return m_dir; }

  std::wstring Url(const std::string& path, const char* scheme = "http") const {
    const std::string url = std::string(scheme) + "://127.0.0.1:" + std::to_string(Port()) + path;
    return std::wstring(url.begin(), url.end());
  }

  // How many requests (or unanswerable openings) the server has recorded.
  int RecordCount() const {
    int n = 0;
    while (std::filesystem::exists(m_dir / ("request-" + std::to_string(n + 1)))) ++n;
    return n;
  }
  std::string Raw(int n) const { return m_dir.Read("request-" + std::to_string(n)); }
  RawRequest Request(int n) const { return ParseRequest(Raw(n)); }

  // Lets the server send the piece after piece `k` of a /pieces/...?ack body.
  void Ack(int k) const { m_dir.Write("ack-" + std::to_string(k), ""); }

 private:
  static std::vector<std::string> Args(const TempDir& dir, const std::string& cert, const std::string& key) {
    std::vector<std::string> args = {UPDATER_PYTHON, UPDATER_TEST_SERVER, "--dir", dir.Path().string()};
    if (!cert.empty()) args.insert(args.end(), {"--tls", cert, key});
    return args;
  }

  TempDir m_dir;
  ServerProcess m_process;
};
