// Placeholder until the transport and the check are built: every exchange fails.
#include "service/check_update.h"
#include "service/http_transport.h"

namespace service {

bool DownloadFile(const std::wstring&, const std::wstring&, const ChunkReport&, const TransportOptions&) {
  return false;
}

int CheckUpdate(const std::wstring&, const std::wstring&, const std::wstring&, UpdateInfo&, std::wstring&,
                const TransportOptions&) {
  return 0;
}

}  // namespace service
