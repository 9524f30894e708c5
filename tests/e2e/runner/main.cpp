// e2e_runner: runs end-to-end case files (tests/e2e/cases/*.case) against the
// real bridge. ctest gives it one case per test; run it by hand as
//   e2e_runner --bridge EXE [--unit LIB] [--product EXE] [--tool NAME=EXE]... [--keep] CASE...
// It prints each failing check with what it expected, what it got and where,
// and exits with 0 when every case passed, 1 when one failed, 77 when a case
// is not for this platform, 2 for a usage error.
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

#include "case_file.h"
#include "checks.h"
#include "session.h"

namespace {

constexpr const char* kUsage =
    "usage: e2e_runner --bridge EXE [--unit LIBVIRTUAL_UNIT] [--product EXE] [--tool NAME=EXE]... [--in-place]\n"
    "                  [--keep] CASE...\n"
    "--keep leaves every work folder in place (a failing case's always stays).\n";

#ifdef _WIN32
constexpr const char* kPlatform = "windows";
#else
constexpr const char* kPlatform = "linux";
#endif

constexpr int kSkipped = 77;

// 0 passed, 1 failed, kSkipped.
int RunOne(const std::string& path, const e2e::Programs& programs, bool keep) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::cout << path << ": error: cannot read the case\n";
    return 1;
  }
  std::stringstream text;
  text << in.rdbuf();
  e2e::Case c;
  std::string error;
  if (!e2e::ParseCase(text.str(), path, &c, &error)) {
    std::cout << error << "\n";
    return 1;
  }
  bool here = false;
  for (const std::string& p : c.platforms) here = here || p == kPlatform;
  if (!here) {
    std::cout << path << ": skipped: not a case for " << kPlatform << "\n";
    return kSkipped;
  }
  e2e::Outcome outcome;
  try {
    outcome = e2e::RunCase(c, programs);
  } catch (const std::exception& e) {
    std::cout << path << ": error: " << e.what() << "\n";
    return 1;
  }
  for (const std::string& problem : outcome.problems) std::cout << problem << "\n";
  const int failed = e2e::RunChecks(outcome.resolved, outcome.streams, outcome.exitStatus, std::cout);
  const std::size_t checks = c.checks.size() + (c.bridge == "none" ? 0 : 1);  // and the bridge's exit status
  const bool ok = failed == 0 && outcome.problems.empty();
  std::cout << path << ": " << (ok ? "passed" : "FAILED") << ", " << checks - failed << " of " << checks
            << " checks passed\n";
  if (ok && !keep) {
    e2e::RemoveWork(outcome.work);
  } else {
    std::cout << "work folder: " << outcome.work << "\n";
  }
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  e2e::Programs programs;
  bool keep = false;
  std::vector<std::string> cases;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string tool;
    if (arg == "--keep") {
      keep = true;
    } else if (arg == "--in-place") {
      programs.inPlace = true;
    } else if (arg == "--tool" && value(&tool) && tool.find('=') != std::string::npos) {
      programs.tools[tool.substr(0, tool.find('='))] = tool.substr(tool.find('=') + 1);
    } else if (!((arg == "--bridge" && value(&programs.bridge)) || (arg == "--unit" && value(&programs.unit)) ||
                 (arg == "--product" && value(&programs.product)))) {
      if (arg.rfind("--", 0) == 0) {
        std::cerr << "e2e_runner: unknown argument " << arg << "\n" << kUsage;
        return 2;
      }
      cases.push_back(arg);
    }
  }
  if (programs.bridge.empty() || cases.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  // Paths as this platform's own (under wine "/work/..." becomes "Z:\\work\\...").
  for (std::string* program : {&programs.bridge, &programs.product, &programs.unit}) {
    if (!program->empty()) *program = std::filesystem::absolute(*program).string();
  }
  for (auto& [name, path] : programs.tools) path = std::filesystem::absolute(path).string();
  bool failed = false, ran = false;
  for (const std::string& path : cases) {
    const int result = RunOne(path, programs, keep);
    failed = failed || result == 1;
    ran = ran || result == 0;
  }
  return failed ? 1 : ran ? 0 : kSkipped;
}
