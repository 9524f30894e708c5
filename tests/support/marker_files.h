// Where a reload marker lives on POSIX: the lock-file name other programs
// use, written out here independently of the code under test. Tests remove
// the files of their own uniquely named markers when they are done.
#pragma once

#include <filesystem>
#include <string>

namespace testsupport {

inline std::string MarkerFile(std::string name) {
  for (char& c : name) {
    if (c == '\\') c = '.';
  }
  return (std::filesystem::is_directory("/dev/shm") ? "/dev/shm/" : "/tmp/") + name + ".lock";
}

// Nothing to remove on Windows, where a marker goes with its last handle.
inline void RemoveMarkerFile(const std::string& name) {
#ifndef _WIN32
  std::error_code ignored;
  std::filesystem::remove(MarkerFile(name), ignored);
#else
  (void)name;
#endif
}

}  // namespace testsupport
