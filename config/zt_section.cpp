#include "config/zt_section.h"

CZtSection::CZtSection() = default;
CZtSection::~CZtSection() = default;

int CZtSection::GetValue(const std::wstring& key, std::wstring& value) const {
  value.clear();
  for (const auto& [k, v] : m_values) {
    if (k == key) {
      value = v;
      return 1;
    }
  }
  return 0;
}

void CZtSection::Put(const std::wstring& key, const std::wstring& value) {
  for (auto& [k, v] : m_values) {
    if (k == key) {
      v = value;
      return;
    }
  }
  m_values.emplace_back(key, value);
}
