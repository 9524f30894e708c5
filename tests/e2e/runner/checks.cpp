// Evaluates the checks. The CHECK-<stream> lines of one stream match in
// order, each after the line the previous one matched, so that a case can
// say "this, then that"; -NOT, -COUNT, -EMPTY and -EXACT look at the whole
// stream, -LAST at its end.
#include "checks.h"

#include <algorithm>
#include <regex>

namespace e2e {
namespace {

// The pattern as a regular expression: literal text escaped, {{...}} as it
// stands. `unclosed`, when given, tells whether a {{ lacks its }} (it then
// runs to the end).
std::string RegexOf(const std::string& pattern, bool* unclosed = nullptr) {
  static const std::string special = R"(\^$.|?*+()[]{}/)";
  std::string out;
  std::size_t i = 0;
  while (i < pattern.size()) {
    const std::size_t open = pattern.find("{{", i);
    const std::size_t literalEnd = open == std::string::npos ? pattern.size() : open;
    for (; i < literalEnd; ++i) {
      if (special.find(pattern[i]) != std::string::npos) out += '\\';
      out += pattern[i];
    }
    if (open == std::string::npos) break;
    const std::size_t close = pattern.find("}}", open + 2);
    if (close == std::string::npos && unclosed != nullptr) *unclosed = true;
    const std::size_t end = close == std::string::npos ? pattern.size() : close;
    out += "(?:" + pattern.substr(open + 2, end - open - 2) + ")";
    i = close == std::string::npos ? pattern.size() : close + 2;
  }
  return out;
}

const char* KindName(Check::Kind kind) {
  switch (kind) {
    case Check::Kind::Match: return "";
    case Check::Kind::Next: return "-NEXT";
    case Check::Kind::Not: return "-NOT";
    case Check::Kind::Count: return "-COUNT";
    case Check::Kind::Empty: return "-EMPTY";
    case Check::Kind::Exact: return "-EXACT";
    case Check::Kind::Last: return "-LAST";
  }
  return "";
}

// The line most like `pattern` (the longest run of its first characters),
// for "possible intended match".
int Nearest(const std::string& pattern, const std::vector<std::string>& lines, std::size_t from) {
  const std::string literal = pattern.substr(0, pattern.find("{{"));
  int best = -1;
  std::size_t bestLength = 0;
  for (std::size_t i = from; i < lines.size(); ++i) {
    for (std::size_t start = 0; start < lines[i].size(); ++start) {
      std::size_t n = 0;
      while (n < literal.size() && start + n < lines[i].size() && lines[i][start + n] == literal[n]) ++n;
      if (n > bestLength) {
        bestLength = n;
        best = static_cast<int>(i);
      }
    }
  }
  return bestLength >= 8 ? best : -1;
}

class Reporter {
 public:
  Reporter(const Case& c, const Streams& streams, std::ostream& out) : case_(c), streams_(streams), out_(out) {}

  void Fail(const Check& check, const std::string& what, const std::string& expected, const std::string& got,
            int gotLine) {
    ++failures_;
    out_ << case_.path << ":" << check.line << ": error: CHECK-" << check.stream << KindName(check.kind) << ": "
         << what << "\n";
    out_ << "  expected: " << expected << "\n";
    out_ << "  got:      " << got << "\n";
    if (gotLine >= 0) out_ << "  where:    " << check.stream << ":" << gotLine + 1 << "\n";
    shown_.insert(shown_.end(), check.stream);
  }
  void FailExit(const std::string& expected, const std::string& got) {
    ++failures_;
    out_ << case_.path << ":" << case_.exitLine << ": error: CHECK-EXIT: the bridge's exit status differs\n"
         << "  expected: " << expected << "\n  got:      " << got << "\n";
  }
  // Each stream a failure named, once, with line numbers.
  void ShowStreams() {
    std::vector<std::string> done;
    for (const std::string& name : shown_) {
      if (std::find(done.begin(), done.end(), name) != done.end()) continue;
      done.push_back(name);
      const auto& lines = streams_.at(name);
      out_ << "--- " << name << " (" << lines.size() << " lines)\n";
      const std::size_t first = lines.size() > 200 ? lines.size() - 200 : 0;
      if (first > 0) out_ << "  (the first " << first << " lines left out)\n";
      for (std::size_t i = first; i < lines.size(); ++i) out_ << "  " << i + 1 << ": " << lines[i] << "\n";
    }
  }
  int failures() const { return failures_; }

 private:
  const Case& case_;
  const Streams& streams_;
  std::ostream& out_;
  std::vector<std::string> shown_;
  int failures_ = 0;
};

std::string Count(std::size_t n) { return std::to_string(n) + (n == 1 ? " line" : " lines"); }

}  // namespace

bool Matches(const std::string& pattern, const std::string& line, bool whole) {
  if (pattern.find("{{") == std::string::npos) return whole ? line == pattern : line.find(pattern) != std::string::npos;
  const std::regex re(RegexOf(pattern));
  return whole ? std::regex_match(line, re) : std::regex_search(line, re);
}

std::optional<std::string> PatternError(const std::string& pattern) {
  bool unclosed = false;
  const std::string regex = RegexOf(pattern, &unclosed);
  if (unclosed) return "{{ without }}";
  try {
    const std::regex re(regex);
  } catch (const std::regex_error& e) {
    return std::string("not a regular expression: ") + e.what();
  }
  return std::nullopt;
}

int RunChecks(const Case& c, const Streams& streams, std::optional<int> exitStatus, std::ostream& report) {
  Reporter reporter(c, streams, report);
  std::map<std::string, std::size_t> cursor;  // per stream: where the next in-order match starts
  std::map<std::string, std::vector<const Check*>> exact, last;
  for (const Check& check : c.checks) {
    const std::vector<std::string>& lines = streams.at(check.stream);
    std::size_t& from = cursor[check.stream];
    switch (check.kind) {
      case Check::Kind::Match: {
        std::size_t i = from;
        while (i < lines.size() && !Matches(check.pattern, lines[i])) ++i;
        if (i < lines.size()) {
          from = i + 1;
          break;
        }
        const int near = Nearest(check.pattern, lines, from);
        reporter.Fail(check, "expected string not found (scanning from " + check.stream + ":" + std::to_string(from + 1) + ")",
                      check.pattern, near >= 0 ? lines[near] + "   (possible intended match)" : "no such line",
                      near);
        break;
      }
      case Check::Kind::Next:
        if (from < lines.size() && Matches(check.pattern, lines[from])) {
          ++from;
        } else {
          reporter.Fail(check, "the next line does not match", check.pattern,
                        from < lines.size() ? lines[from] : "the end of the stream", static_cast<int>(from));
        }
        break;
      case Check::Kind::Not:
        for (std::size_t i = 0; i < lines.size(); ++i) {
          if (Matches(check.pattern, lines[i])) {
            reporter.Fail(check, "excluded string found", "no line with: " + check.pattern, lines[i],
                          static_cast<int>(i));
            break;
          }
        }
        break;
      case Check::Kind::Count: {
        std::size_t n = 0;
        for (const std::string& line : lines) n += Matches(check.pattern, line);
        if (n != static_cast<std::size_t>(check.count))
          reporter.Fail(check, "wrong number of matching lines", Count(check.count) + " with: " + check.pattern,
                        Count(n), -1);
        break;
      }
      case Check::Kind::Empty:
        if (!lines.empty()) reporter.Fail(check, "the stream is not empty", "no lines", Count(lines.size()) + ", the first: " + lines[0], 0);
        break;
      case Check::Kind::Exact:
        exact[check.stream].push_back(&check);
        break;
      case Check::Kind::Last:
        last[check.stream].push_back(&check);
        break;
    }
  }
  // The -EXACT lines of a stream together are the whole stream.
  for (const auto& [stream, checks] : exact) {
    const std::vector<std::string>& lines = streams.at(stream);
    for (std::size_t i = 0; i < std::max(lines.size(), checks.size()); ++i) {
      if (i < checks.size() && i < lines.size() && Matches(checks[i]->pattern, lines[i], true)) continue;
      const Check& at = *checks[std::min(i, checks.size() - 1)];
      reporter.Fail(at, "the stream differs from the -EXACT lines at its line " + std::to_string(i + 1),
                    i < checks.size() ? checks[i]->pattern : "the end of the stream (" + Count(checks.size()) + ")",
                    i < lines.size() ? lines[i] : "the end of the stream (" + Count(lines.size()) + ")",
                    static_cast<int>(i));
      break;
    }
  }
  // The -LAST lines of a stream together are its last lines.
  for (const auto& [stream, checks] : last) {
    const std::vector<std::string>& lines = streams.at(stream);
    if (lines.size() < checks.size()) {
      reporter.Fail(*checks[0], "the stream is shorter than its -LAST lines", Count(checks.size()),
                    lines.empty() ? "an empty stream" : Count(lines.size()), -1);
      continue;
    }
    const std::size_t first = lines.size() - checks.size();
    for (std::size_t k = 0; k < checks.size(); ++k) {
      if (Matches(checks[k]->pattern, lines[first + k], true)) continue;
      reporter.Fail(*checks[k], "the last lines differ from the -LAST lines", checks[k]->pattern, lines[first + k],
                    static_cast<int>(first + k));
      break;
    }
  }
  if (c.bridge == "none") {
    // no bridge, no exit status
  } else if (!exitStatus) {
    reporter.FailExit(std::to_string(c.exitStatus), "none: it still ran after EXIT-LIMIT and was killed");
  } else if (*exitStatus != c.exitStatus) {
    reporter.FailExit(std::to_string(c.exitStatus), std::to_string(*exitStatus));
  }
  reporter.ShowStreams();
  return reporter.failures();
}

}  // namespace e2e
