// What the kernel knows about one thread of this process, by its id.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

// The thread still exists.
inline bool ThreadExists(std::uint32_t tid) {
  return std::filesystem::exists("/proc/self/task/" + std::to_string(tid));
}

// Processor time the thread has used so far, in nanoseconds.
inline std::uint64_t ThreadCpuNs(std::uint32_t tid) {
  std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/schedstat");
  std::uint64_t ns = 0;
  in >> ns;
  return ns;
}

// Waits up to `limit` for the thread to end.
inline bool WaitForThreadGone(std::uint32_t tid, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (ThreadExists(tid)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}
