// The case file format: one directive per line ("NAME: argument"), blank
// lines and '#' comments between them; FILE:, FILE-HEX:, APPDATA-FILE:,
// WRITE: and WRITE-HEX: take the lines after them, up to the next directive, as the
// file's content.
#include "case_file.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

#include "arguments.h"
#include "checks.h"
#include "commands.h"

namespace e2e {
namespace {

const std::vector<std::string> kSettings = {"PLATFORMS", "TRANSPORT", "BRIDGE",  "LOCK",
                                            "ENV",       "EXIT-LIMIT", "SIMHOST", "BESIDE"};
const std::vector<std::string> kBlocks = {"FILE", "FILE-HEX", "APPDATA-FILE", "WRITE", "WRITE-HEX"};
const std::vector<std::string> kSteps = {"HOST",        "HOST-TRY",     "RUN",       "DIR",    "WRITE-DIR",
                                         "HOLD-MARKER", "PROBE-MARKER", "WAIT-MARKER", "WAIT-EXIT", "SIGNAL", "WAIT-REPORT",
                                         "ICON"};

bool Among(const std::vector<std::string>& list, const std::string& word) {
  return std::find(list.begin(), list.end(), word) != list.end();
}

std::string Trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// "MS TEXT": a positive time and a text that is not blank, into a step.
bool SpanAndText(const std::string& argument, Step* step) {
  std::istringstream words(argument);
  long ms = 0;
  if (!(words >> ms) || ms <= 0 || !std::getline(words, step->text) || Trim(step->text).empty()) return false;
  step->span = std::chrono::milliseconds(ms);
  step->text = Trim(step->text);
  return true;
}

// "NAME: rest" with NAME in capitals, digits and '-'; nullopt for other lines.
std::optional<std::pair<std::string, std::string>> Directive(const std::string& line) {
  std::size_t i = 0;
  while (i < line.size() && (std::isupper(static_cast<unsigned char>(line[i])) ||
                             std::isdigit(static_cast<unsigned char>(line[i])) || line[i] == '-'))
    ++i;
  if (i == 0 || i >= line.size() || line[i] != ':') return std::nullopt;
  return std::make_pair(line.substr(0, i), Trim(line.substr(i + 1)));
}

bool KnownDirective(const std::string& name) {
  if (Among(kSettings, name) || Among(kBlocks, name) || Among(kSteps, name) || name == "CHECK-EXIT") return true;
  for (const std::string& stream : StreamNames()) {
    if (name.rfind("CHECK-" + stream, 0) == 0) return true;
  }
  return false;
}

bool ParseCheck(const std::string& name, const std::string& argument, Check* check) {
  for (const std::string& stream : StreamNames()) {
    const std::string head = "CHECK-" + stream;
    if (name.rfind(head, 0) != 0) continue;
    const std::string suffix = name.substr(head.size());
    check->stream = stream;
    check->pattern = argument;
    if (suffix.empty()) {
      check->kind = Check::Kind::Match;
    } else if (suffix == "-NEXT") {
      check->kind = Check::Kind::Next;
    } else if (suffix == "-NOT") {
      check->kind = Check::Kind::Not;
    } else if (suffix == "-EMPTY") {
      check->kind = Check::Kind::Empty;
      return argument.empty();
    } else if (suffix == "-LAST") {
      check->kind = Check::Kind::Last;
    } else if (suffix == "-EXACT") {
      check->kind = Check::Kind::Exact;
    } else if (suffix == "-COUNT") {
      check->kind = Check::Kind::Count;
      std::istringstream words(argument);
      if (!(words >> check->count) || check->count < 0) return false;
      std::getline(words, check->pattern);
      check->pattern = Trim(check->pattern);
      return !check->pattern.empty();
    } else {
      continue;  // a longer stream name with the same beginning
    }
    return check->kind == Check::Kind::Exact || !check->pattern.empty();
  }
  return false;
}

std::optional<std::string> FromHex(const std::string& text) {
  auto bytes = simhost::ParseHex(text);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

}  // namespace

const std::vector<std::string>& StreamNames() {
  static const std::vector<std::string> names = {"HOST", "ERR", "OUT", "REPORTS", "LOG", "RUN", "MARKERS",
                                                         "BRIDGELOG"};
  return names;
}

bool ParseCase(const std::string& text, const std::string& path, Case* out, std::string* error) {
  out->path = path;
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  auto fail = [&](std::size_t index, const std::string& why) {
    *error = path + ":" + std::to_string(index + 1) + ": " + why;
    return false;
  };
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string trimmed = Trim(lines[i]);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    const auto directive = Directive(lines[i]);
    if (!directive || !KnownDirective(directive->first)) return fail(i, "not a directive: " + lines[i]);
    const auto& [name, argument] = *directive;
    const int number = static_cast<int>(i + 1);

    if (Among(kBlocks, name)) {
      // The content: every line up to the next directive, trailing blank lines left out.
      std::size_t end = i + 1;
      while (end < lines.size()) {
        const auto next = Directive(lines[end]);
        if (next && KnownDirective(next->first)) break;
        ++end;
      }
      std::size_t last = end;
      while (last > i + 1 && Trim(lines[last - 1]).empty()) --last;
      std::string content;
      for (std::size_t k = i + 1; k < last; ++k) content += lines[k] + "\n";
      Fixture fixture;
      fixture.path = argument;
      if (name.find("-HEX") != std::string::npos) {
        auto bytes = FromHex(content);
        if (!bytes) return fail(i, "the content of " + name + " is not hexadecimal bytes");
        fixture.bytes = *bytes;
      } else {
        fixture.bytes = content;
      }
      if (argument.empty()) return fail(i, name + " needs a path");
      if (name == "APPDATA-FILE") {
        out->appDataFiles.push_back(fixture);
      } else if (name.rfind("FILE", 0) == 0) {
        out->files.push_back(fixture);
      } else {
        Step step;
        step.kind = Step::Kind::Write;
        step.fixture = fixture;
        step.line = number;
        out->steps.push_back(step);
      }
      i = end - 1;
    } else if (name == "PLATFORMS") {
      std::istringstream words(argument);
      for (std::string w; words >> w;) {
        if (w != "linux" && w != "windows") return fail(i, "unknown platform " + w);
        out->platforms.push_back(w);
      }
    } else if (name == "TRANSPORT") {
      if (!Among({"pipe", "tcp", "default-pipe", "none"}, argument)) return fail(i, "unknown transport " + argument);
      out->transport = argument;
    } else if (name == "BRIDGE") {
      if (!Among({"test", "product", "none"}, argument)) return fail(i, "BRIDGE is test, product or none");
      out->bridge = argument;
    } else if (name == "LOCK") {
      if (argument != "markers" && argument != "default-pipe") return fail(i, "unknown lock " + argument);
      out->locks.push_back(argument);
    } else if (name == "ENV") {
      if (argument.find('=') == std::string::npos) return fail(i, "ENV takes NAME=value");
      out->environment.push_back(argument);
    } else if (name == "SIMHOST") {
      // simhost's own switches; the endpoint and the script are the runner's.
      simhost::Arguments parsed;
      std::string why;
      const std::vector<std::string> words = simhost::SplitWords(argument);
      if (!simhost::ParseArguments(words, &parsed, &why)) return fail(i, "SIMHOST: " + why);
      for (const std::string& w : words) {
        if (w.rfind("--pipe", 0) == 0 || w == "--no-pipe" || w == "--tcp4" || w == "--tcp6" || w == "--script")
          return fail(i, "SIMHOST: " + w + " is the runner's (see TRANSPORT)");
      }
      out->simhostArguments.insert(out->simhostArguments.end(), words.begin(), words.end());
    } else if (name == "BESIDE") {
      if (argument.empty()) return fail(i, "BESIDE takes a tool and its arguments");
      out->beside.push_back(argument);
    } else if (name == "EXIT-LIMIT") {
      out->exitLimit = std::chrono::milliseconds(std::atoi(argument.c_str()));
      if (out->exitLimit.count() <= 0) return fail(i, "EXIT-LIMIT takes milliseconds");
    } else if (name == "CHECK-EXIT") {
      out->exitStatus = std::atoi(argument.c_str());
      out->exitLine = number;
    } else if (name.rfind("CHECK-", 0) == 0) {
      Check check;
      check.line = number;
      if (!ParseCheck(name, argument, &check)) return fail(i, "malformed " + name);
      if (const auto why = PatternError(check.pattern)) return fail(i, "malformed " + name + ": " + *why);
      out->checks.push_back(check);
    } else {
      Step step;
      step.line = number;
      step.text = argument;
      if (name == "HOST") {
        step.kind = Step::Kind::Host;
      } else if (name == "HOST-TRY") {
        step.kind = Step::Kind::HostTry;
      } else if (name == "RUN") {
        step.kind = Step::Kind::Run;
      } else if (name == "DIR" || name == "WRITE-DIR") {
        step.kind = Step::Kind::Write;
        step.fixture.path = argument;
        step.fixture.folder = true;
        if (name == "DIR") {
          out->files.push_back(step.fixture);
          continue;
        }
      } else if (name == "HOLD-MARKER") {
        if (!SpanAndText(argument, &step)) return fail(i, "HOLD-MARKER takes MS NAME");
        step.kind = Step::Kind::HoldMarker;
      } else if (name == "PROBE-MARKER") {
        step.kind = Step::Kind::ProbeMarker;
      } else if (name == "WAIT-MARKER") {
        // "MS NAME held|absent"
        const std::size_t blank = argument.find_last_of(' ');
        const std::string state = blank == std::string::npos ? "" : argument.substr(blank + 1);
        if ((state != "held" && state != "absent") || !SpanAndText(argument.substr(0, blank), &step))
          return fail(i, "WAIT-MARKER takes MS NAME held|absent");
        step.kind = Step::Kind::WaitMarker;
        step.held = state == "held";
      } else if (name == "SIGNAL") {
        if (!Among({"TERM", "INT", "HUP"}, argument)) return fail(i, "SIGNAL takes TERM, INT or HUP");
        step.kind = Step::Kind::Signal;
      } else if (name == "ICON") {
        if (argument.find_first_not_of("0123456789") != std::string::npos) return fail(i, "ICON takes a command id");
        step.kind = Step::Kind::Icon;
      } else if (name == "WAIT-REPORT") {
        if (!SpanAndText(argument, &step)) return fail(i, "WAIT-REPORT takes MS REPORT");
        step.kind = Step::Kind::WaitReport;
      } else {
        step.kind = Step::Kind::WaitExit;
        if (!argument.empty()) {
          step.span = std::chrono::milliseconds(std::atol(argument.c_str()));
          if (step.span.count() <= 0) return fail(i, "WAIT-EXIT takes nothing or milliseconds");
        }
        step.text.clear();
      }
      if (step.kind != Step::Kind::WaitExit && step.text.empty()) return fail(i, name + " needs an argument");
      out->steps.push_back(step);
    }
  }
  if (out->platforms.empty()) return fail(lines.size() ? lines.size() - 1 : 0, "no PLATFORMS line");
  if (out->bridge == "none") {
    for (const Step& step : out->steps) {
      if (step.kind == Step::Kind::WaitExit || step.kind == Step::Kind::Signal)
        return fail(step.line - 1, "no bridge to wait for or signal with BRIDGE: none");
    }
    if (out->exitLine != 0) return fail(out->exitLine - 1, "no bridge's exit status with BRIDGE: none");
  }
  return true;
}

}  // namespace e2e
