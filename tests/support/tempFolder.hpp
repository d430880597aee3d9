#pragma once

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

// A fresh folder under the system's temporary folder, removed with everything
// in it when the object goes.
class TempFolder
{
public:
  TempFolder()
  {
    static std::atomic<int> counter{0};
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (;;)
    {
      _path = base / ("qstest-" + std::to_string(Tick()) + "-" + std::to_string(counter++));
      std::error_code error;
      if (std::filesystem::create_directory(_path, error))
        break;
    }
  }
  TempFolder(const TempFolder &) = delete;
  TempFolder &operator=(const TempFolder &) = delete;
  ~TempFolder()
  {
    std::error_code error;
    std::filesystem::remove_all(_path, error);
  }

  const std::filesystem::path &Path() const { return _path; }
  // The full name of a file in the folder, as narrow text.
  std::string File(const std::string &name) const { return (_path / name).string(); }

  // Writes bytes to a file in the folder and answers its full name.
  std::string Write(const std::string &name, const std::string &bytes) const
  {
    std::string full = File(name);
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
  }

  // The whole content of a file anywhere; empty when it cannot be read.
  static std::string Read(const std::filesystem::path &file)
  {
    std::ifstream in(file, std::ios::binary);
    std::string bytes;
    char block[4096];
    while (in.read(block, sizeof block) || in.gcount() > 0)
      bytes.append(block, static_cast<std::size_t>(in.gcount()));
    return bytes;
  }

private:
  static long long Tick()
  {
    return static_cast<long long>(std::filesystem::file_time_type::clock::now().time_since_epoch().count() & 0xffffff);
  }

  std::filesystem::path _path;
};
