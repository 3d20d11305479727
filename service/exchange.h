// The parts of a platform request that both exchanges fill the same way.
#pragma once

#include <string>

#include "platform/http.h"
#include "service/http_transport.h"

namespace service {

inline platform::HttpRequest MakeRequest(const UrlParts& url, const wchar_t* verb, const wchar_t* userAgent,
                                         const TransportOptions& options) {
  platform::HttpRequest request;
  request.secure = url.secure;
  request.host = url.host;
  request.port = url.port;
  request.verb = verb;
  request.target = url.RequestTarget();
  request.userAgent = userAgent;
  request.connectTimeoutMs = options.connectTimeoutMs;
  request.sendTimeoutMs = options.sendTimeoutMs;
  request.receiveTimeoutMs = options.receiveTimeoutMs;
  request.cancel = options.cancel;
  return request;
}

}  // namespace service
