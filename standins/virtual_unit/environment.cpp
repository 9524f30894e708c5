// virtual_unit set up from the environment before the program's main runs:
// in the shared library preloaded into the real Linux bridge (LD_PRELOAD),
// and in the Windows test build of the bridge, which links it in. Variables:
//   VIRTUAL_UNIT_SCRIPT   set-up commands (see RunScript); unset: one unit with
//                         the supported identifiers at path "virtual_unit/0"
//   VIRTUAL_UNIT_LOG      file that gets one line per hidapi call
//   VIRTUAL_UNIT_REPORTS  file that gets each report that reached the unit,
//                         as 65 hexadecimal bytes on one line
//   VIRTUAL_UNIT_PANEL    file (for example /dev/tty) on which the LED panel is
//                         drawn after each report
#include <cstdio>
#include <cstdlib>
#include <string>

#include "devices/supported_unit.h"
#include "virtual_unit.h"

namespace {

std::FILE* OpenFor(const char* variable) {
  const char* path = std::getenv(variable);
  if (path == nullptr || *path == '\0') return nullptr;
  std::FILE* file = std::fopen(path, "a");
  if (file == nullptr) std::fprintf(stderr, "virtual_unit: cannot write %s (%s)\n", path, variable);
  return file;
}

void WriteLine(std::FILE* file, const std::string& line) {
  if (file == nullptr) return;
  std::fputs(line.c_str(), file);
  std::fputc('\n', file);
  std::fflush(file);
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  std::string text;
  char pair[4];
  for (std::uint8_t byte : bytes) {
    std::snprintf(pair, sizeof pair, "%s%02x", text.empty() ? "" : " ", byte);
    text += pair;
  }
  return text;
}

__attribute__((constructor)) void ConfigureFromEnvironment() {
  virtual_unit::SetRecording(false);
  const char* script = std::getenv("VIRTUAL_UNIT_SCRIPT");
  std::string error;
  if (script == nullptr) {
    virtual_unit::Attach(kSupportedUnitVendorId, kSupportedUnitProductId, {std::string("virtual_unit/0")});
  } else if (!virtual_unit::RunScript(script, &error)) {
    std::fprintf(stderr, "virtual_unit: VIRTUAL_UNIT_SCRIPT: %s\n", error.c_str());
  }

  std::FILE* log = OpenFor("VIRTUAL_UNIT_LOG");
  std::FILE* reports = OpenFor("VIRTUAL_UNIT_REPORTS");
  std::FILE* panel = OpenFor("VIRTUAL_UNIT_PANEL");
  if (log == nullptr && reports == nullptr && panel == nullptr) return;
  // The files stay open for the life of the process.
  virtual_unit::SetObserver([log, reports, panel, count = 0](const std::string& line,
                                                             const virtual_unit::Report* report) mutable {
    WriteLine(log, line);
    if (report == nullptr) return;
    WriteLine(reports, Hex(report->bytes));
    WriteLine(panel, "virtual_unit: report " + std::to_string(++count) + "\n" + virtual_unit::DrawPanel(report->bytes));
  });
}

}  // namespace
