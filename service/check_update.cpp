// The update check: "ver=<local version>" posted to the service, its JSON
// reply read into UpdateInfo.
#include "service/check_update.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <sstream>
#include <string>

#include "json/elements.h"
#include "json/reader.h"
#include "platform/text.h"

namespace service {

namespace {

constexpr std::uint32_t CHECK_BUFFER_SIZE = 5120;
constexpr const wchar_t* CHECK_PATH = L"/api/check/";

// The new version names the folder download/<version> and is written into
// update.cfg, so it must be one plain folder name (or empty).
bool CanNameFolder(const std::string& version) {
  if (version == "." || version == "..") return false;
  for (const char ch : version) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
  }
  return true;
}

// The package size is counted in 32 bits everywhere; a size that does not
// truncate into that range is no size at all.
bool FitsInt32(double size) {
  if (!std::isfinite(size)) return false;
  const double whole = std::trunc(size);
  return whole >= static_cast<double>(INT32_MIN) && whole <= static_cast<double>(INT32_MAX);
}

int ReadReply(const std::string& text, UpdateInfo& info, std::wstring& newVersion) {
  std::istringstream stream(text);
  json::Object reply;
  json::Reader::Read(reply, stream);

  if (!static_cast<json::Boolean&>(reply["result"]).Value()) return 0;
  const bool isUpdate = static_cast<json::Boolean&>(reply["isupdate"]).Value();
  const std::string version = static_cast<json::String&>(reply["new_ver"]).Value();
  const double size = static_cast<json::Number&>(reply["size"]).Value();
  const std::string url = static_cast<json::String&>(reply["url"]).Value();

  // A reply the record cannot hold is refused whole, before anything is stored.
  if (version.size() >= sizeof info.szNewVersion || !CanNameFolder(version)) return 0;
  if (url.size() >= sizeof info.szPackageUrl || !FitsInt32(size)) return 0;

  std::memcpy(info.szNewVersion, version.data(), version.size());
  info.szNewVersion[version.size()] = '\0';
  newVersion = platform::AnsiToWide(info.szNewVersion);
  info.nPackageSize = static_cast<std::int32_t>(size);
  std::memcpy(info.szPackageUrl, url.data(), url.size());
  info.szPackageUrl[url.size()] = '\0';
  return isUpdate ? 1 : 0;
}

}  // namespace

int CheckUpdate(const std::wstring& host, const std::wstring& suffix, const std::wstring& localVersion,
                UpdateInfo& info, std::wstring& newVersion, const TransportOptions& options) {
  // Every failure, exceptions included, reads as "no update".
  try {
    const std::wstring url = L"http://" + host + suffix + CHECK_PATH;
    const std::string body = platform::WideToAnsi(L"ver=" + localVersion);
    // The body and its terminator must fit the request buffer.
    if (body.size() >= CHECK_BUFFER_SIZE) return 0;

    std::string reply(CHECK_BUFFER_SIZE, '\0');
    std::uint32_t count = 0;
    PostRequest(url, body.data(), static_cast<std::uint32_t>(body.size()), reply.data(), CHECK_BUFFER_SIZE, count,
                options);
    // The reply text ends at its first zero byte; a failed exchange leaves none.
    reply.resize(std::strlen(reply.c_str()));
    return ReadReply(reply, info, newVersion);
  } catch (...) {
    return 0;
  }
}

}  // namespace service
