// A folder of one test's own under the system's temporary folder, named with
// a prefix and a random part so that tests running side by side never meet,
// and removed with everything in it when the test is done.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <system_error>

namespace testsupport {

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix) {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() / (prefix + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder with a trailing separator, as the profile lookup takes folders.
  std::string Base() const { return (path_ / "").string(); }
  // Writes `content` to the file at `relative` (either slash), making its folders.
  void Write(const std::string& relative, const std::string& content) const {
    const std::filesystem::path file = path_ / std::filesystem::path(relative).make_preferred();
    std::filesystem::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace testsupport
