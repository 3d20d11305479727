// One section of the configuration file, copied into memory.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CZtSection {
 public:
  CZtSection();
  virtual ~CZtSection();

  // 1 when a pair with exactly this key (code unit by code unit, letter case
  // significant) exists, its value copied to `value`; otherwise 0. `value` is
  // emptied before the search in every case.
  int GetValue(const std::wstring& key, std::wstring& value) const;

  // Replaces the value of the pair with exactly this key, or appends a pair.
  // The program fills sections only through CZtConfig::GetSection.
  void Put(const std::wstring& key, const std::wstring& value);

  const std::vector<std::pair<std::wstring, std::wstring>>& Values() const { return m_values; }

 private:
  std::vector<std::pair<std::wstring, std::wstring>> m_values;
};
