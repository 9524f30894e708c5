// The simulator's UserCfg.opt: arbitrary bytes (UTF-8, UTF-16 either way,
// with or without a mark) read for the package root. A root that comes back
// is one line's value, never empty, never holding a zero, and outside quotes
// never with blanks at its ends.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "fuzz_world.h"
#include "platform/simulator_folders.h"

namespace {

using fuzzworld::Require;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static fuzzworld::ScratchFile file("nimbra-fuzz-UserCfg.opt");
  const std::string& path = file.Write(data, size);

  std::string root = "unchanged";
  if (!platform::ReadInstalledPackagesPath(path, &root)) {
    Require(root == "unchanged");
    return 0;
  }
  // UTF-16 text comes back as UTF-8: at most three bytes for every two read.
  Require(!root.empty() && root.size() <= size + size / 2);
  Require(root.find('\n') == std::string::npos && root.find('\0') == std::string::npos);
  // Blanks at an end are kept only inside quotes, which the text then holds
  // (as read: UTF-16 text, with its mark or its zero bytes, is decoded first).
  const bool utf16 = (size >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) || (data[0] == 0xFE && data[1] == 0xFF))) ||
                     std::string(reinterpret_cast<const char*>(data), size).find('\0') != std::string::npos;
  if (!utf16 && (IsBlank(root.front()) || IsBlank(root.back()))) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Require(text.find('"' + root + '"') != std::string::npos);
  }
  return 0;
}
