// Binds the dialog's ports to the real configuration store.
#pragma once

#include "config/zt_config.h"
#include "ui/update_ports.h"

class CConfigBinding final : public ConfigPort {
 public:
  int Load(const std::wstring& path) override { return m_config.Load(path); }
  int GetSection(const std::wstring& section, CZtSection& target) override {
    return m_config.GetSection(section, target);
  }
  int WriteValue(const std::wstring& section, const std::wstring& key, const std::wstring& value) override {
    return m_config.WriteValue(section, key, value);
  }

 private:
  CZtConfig m_config;
};
