// Downloads one URL into one file through the updater's transport, as the
// worker does, and prints the bytes reported. The driver script times it.
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/text.h"
#include "service/http_transport.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s URL FILE\n", argv[0]);
    return 2;
  }
  std::uint64_t reported = 0;
  const bool ok = service::DownloadFile(platform::AnsiToWide(argv[1]), platform::AnsiToWide(argv[2]),
                                        [&](std::uint32_t n) { reported += n; });
  std::printf("%llu\n", static_cast<unsigned long long>(reported));
  return ok ? 0 : 1;
}
