// The configuration file "update.cfg": existence test, copying one section
// into memory, writing one value back. Only the file's path is kept; every read
// goes to the file again through the profile functions (platform/profile.h).
#pragma once

#include <cstdint>
#include <string>

#include "config/zt_section.h"

class CZtConfig {
 public:
  // Buffer sizes, in characters, for a section's key-name list and one value.
  static constexpr uint32_t KEY_LIST_CAPACITY = 2052;
  static constexpr uint32_t VALUE_CAPACITY = 2052;

  CZtConfig();
  virtual ~CZtConfig();

  // 1 when something (a file or a folder) exists at `path`, which is then kept
  // unchanged as the object's file; otherwise 0 and the object has no file. A
  // path of 260 or more characters yields 0. The content is not read.
  int Load(const std::wstring& path);

  // 0 when the file yields no key names for the section (missing, without
  // keys, unreadable); `target` is then unchanged. Otherwise every key of the
  // section is added to or replaced in `target`, and the result is 1.
  int GetSection(const std::wstring& section, CZtSection& target);

  // Nonzero when the value was written (the key, section and file are added
  // when missing).
  int WriteValue(const std::wstring& section, const std::wstring& key, const std::wstring& value);

 private:
  std::wstring m_strFile;
};
