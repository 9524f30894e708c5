// The Windows test build's message box. Under Wine without a display a real
// box returns at once and cannot be read back, so the test build records
// each box instead: "caption: text" on standard error and appended to the
// file that NIMBRA_TEST_BOXES names. Linked ahead of the bridge's library,
// it takes the place of the real one.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/message_box.h"

namespace platform {

void ShowMessageBox(const std::string& text, const std::string& caption) {
  const std::string line = caption + ": " + text + "\n";
  std::fputs(line.c_str(), stderr);
  std::fflush(stderr);
  if (const char* file = std::getenv("NIMBRA_TEST_BOXES")) {
    if (std::FILE* out = std::fopen(file, "a")) {
      std::fputs(line.c_str(), out);
      std::fclose(out);
    }
  }
}

}  // namespace platform
