// Splitting URLs by the rules of the system's URL splitter on Windows, kept
// here so that every platform accepts and refuses the same URLs.
#include <algorithm>
#include <cwctype>

#include "service/http_transport.h"

namespace service {

namespace {

bool FitsPart(const std::wstring& part) { return part.size() < kUrlPartCapacity; }

bool SameLetters(const std::wstring& text, const wchar_t* lower) {
  size_t i = 0;
  for (; i < text.size() && lower[i] != L'\0'; ++i)
    if (std::towlower(static_cast<wint_t>(text[i])) != static_cast<wint_t>(lower[i])) return false;
  return i == text.size() && lower[i] == L'\0';
}

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

}  // namespace

std::wstring UrlParts::RequestTarget() const {
  std::wstring target = path.empty() ? L"/" : path;
  // A query is part of the resource (signed links depend on it).
  target += extraInfo.substr(0, extraInfo.find(L'#'));
  return target;
}

bool CrackUrl(const std::wstring& url, UrlParts& parts) {
  // Control characters could end the request line or forge headers.
  for (const wchar_t c : url)
    if (c < 0x20 || c == 0x7F) return false;

  const size_t colon = url.find(L':');
  if (colon == std::wstring::npos || url.compare(colon, 3, L"://") != 0) return false;
  parts.scheme = url.substr(0, colon);
  if (SameLetters(parts.scheme, L"http")) {
    parts.secure = false;
    parts.port = 80;
  } else if (SameLetters(parts.scheme, L"https")) {
    parts.secure = true;
    parts.port = 443;
  } else {
    return false;
  }

  const size_t authorityBegin = colon + 3;
  const size_t authorityEnd = std::min(url.find_first_of(L"/?#", authorityBegin), url.size());
  std::wstring authority = url.substr(authorityBegin, authorityEnd - authorityBegin);
  if (const size_t at = authority.rfind(L'@'); at != std::wstring::npos) authority.erase(0, at + 1);

  size_t hostEnd = 0;
  if (!authority.empty() && authority[0] == L'[') {
    hostEnd = authority.find(L']');
    if (hostEnd == std::wstring::npos) return false;
    ++hostEnd;
  } else {
    hostEnd = std::min(authority.find(L':'), authority.size());
  }
  parts.host = authority.substr(0, hostEnd);
  if (parts.host.empty() || parts.host.find(L' ') != std::wstring::npos) return false;

  if (hostEnd < authority.size()) {
    if (authority[hostEnd] != L':') return false;
    const std::wstring digits = authority.substr(hostEnd + 1);
    if (!digits.empty()) {
      unsigned long port = 0;
      for (const wchar_t c : digits) {
        if (!IsDigit(c)) return false;
        port = port * 10 + static_cast<unsigned long>(c - L'0');
        if (port > 65535) return false;
      }
      if (port == 0) return false;
      parts.port = static_cast<std::uint16_t>(port);
    }
  }

  const size_t extraBegin = std::min(url.find_first_of(L"?#", authorityEnd), url.size());
  parts.path = url.substr(authorityEnd, extraBegin - authorityEnd);
  parts.extraInfo = url.substr(extraBegin);
  return FitsPart(parts.scheme) && FitsPart(parts.host) && FitsPart(parts.path) && FitsPart(parts.extraInfo);
}

}  // namespace service
