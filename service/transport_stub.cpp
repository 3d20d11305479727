// Placeholder until the check is built: every check reads as "no update".
#include "service/check_update.h"

namespace service {

int CheckUpdate(const std::wstring&, const std::wstring&, const std::wstring&, UpdateInfo&, std::wstring&,
                const TransportOptions&) {
  return 0;
}

}  // namespace service
