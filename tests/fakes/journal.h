// One ordered record of what the fakes were asked to do, so a test can check
// the order of effects across them.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

struct Journal {
  std::vector<std::string> entries;

  void Add(std::string entry) { entries.push_back(std::move(entry)); }
  bool Has(const std::string& entry) const {
    return std::find(entries.begin(), entries.end(), entry) != entries.end();
  }
  // Position of the first entry equal to `entry`, or -1.
  long IndexOf(const std::string& entry) const {
    const auto it = std::find(entries.begin(), entries.end(), entry);
    return it == entries.end() ? -1 : static_cast<long>(it - entries.begin());
  }
  long Count(const std::string& entry) const { return std::count(entries.begin(), entries.end(), entry); }
};
