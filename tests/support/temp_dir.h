// A fresh folder for one test, removed with everything in it afterwards.
// With `enter`, the folder is the current directory while the object lives.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

class TempDir {
 public:
  explicit TempDir(bool enter = false) {
    std::random_device rd;
    for (;;) {
      m_path = std::filesystem::temp_directory_path() / ("updater-test-" + std::to_string(rd()));
      if (std::filesystem::create_directory(m_path)) break;
    }
    if (enter) {
      m_previous = std::filesystem::current_path();
      std::filesystem::current_path(m_path);
    }
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir() {
    std::error_code ec;
    if (!m_previous.empty()) std::filesystem::current_path(m_previous, ec);
    // Read-only files and folders must not stop the clean-up.
    for (auto it = std::filesystem::recursive_directory_iterator(m_path, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add | std::filesystem::perm_options::nofollow, ec);
    std::filesystem::remove_all(m_path, ec);
  }

  const std::filesystem::path& Path() const { return m_path; }
  std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

  // Writes `bytes` to a file below the folder, creating its parent folders.
  std::filesystem::path Write(const std::string& name, const std::string& bytes) const {
    const auto p = m_path / name;
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
    return p;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(m_path / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path m_path;
  std::filesystem::path m_previous;
};
