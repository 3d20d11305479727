#include "install/fault_seam.h"

#include <atomic>

namespace install::fault {

namespace {

constexpr int kPoints = 4;
std::atomic<int> g_countdown[kPoints];

std::atomic<int>& Countdown(Point point) { return g_countdown[static_cast<int>(point)]; }

}  // namespace

void FailAt(Point point, int n) { Countdown(point).store(n > 0 ? n : 0); }

void Reset() {
  for (auto& c : g_countdown) c.store(0);
}

bool Hit(Point point) {
  std::atomic<int>& c = Countdown(point);
  if (c.load(std::memory_order_relaxed) <= 0) return false;
  return c.fetch_sub(1) == 1;
}

}  // namespace install::fault
