// The update check: one request to the update service, one JSON reply.
#pragma once

#include <string>

#include "service/http_transport.h"
#include "service/update_info.h"

namespace service {

// Asks the service at "http://" + host + suffix + "/api/check/" about
// `localVersion` and fills `info` (all zero on entry) from the reply; the new
// version's wide form goes to `newVersion`. 1 when an update is to be
// installed; 0 when there is none and after every failure.
int CheckUpdate(const std::wstring& host, const std::wstring& suffix, const std::wstring& localVersion,
                UpdateInfo& info, std::wstring& newVersion, const TransportOptions& options = {});

}  // namespace service
