// libedit's readline interface when it is there (SIMHOST_LINE_EDITING) and
// standard input is a terminal; std::getline otherwise.
#include "line_editor.h"

#include <iostream>

#ifdef SIMHOST_LINE_EDITING
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include <editline/readline.h>
#endif

namespace simhost {

#ifdef SIMHOST_LINE_EDITING
namespace {

std::function<std::vector<std::string>()> variableNames;
std::vector<std::string> candidates;

// The words that fit where the cursor is: command words first on the line,
// then event names and variable names.
char* NextCandidate(const char* text, int state) {
  static std::size_t index;
  if (state == 0) index = 0;
  const std::size_t length = std::strlen(text);
  while (index < candidates.size()) {
    const std::string& word = candidates[index++];
    if (word.compare(0, length, text) == 0) return strdup(word.c_str());
  }
  return nullptr;
}

char** Complete(const char* text, int start, int) {
  rl_attempted_completion_over = 1;  // no file names
  const std::string before(rl_line_buffer, static_cast<std::size_t>(start));
  const bool first = before.find_first_not_of(' ') == std::string::npos;
  if (first) {
    candidates = {"event", "sim", "event-id", "ticks", "aircraft", "system-state", "pick", "set", "reject", "accept",
                  "exception", "raw", "raw-split", "raw-size", "garbage", "quit", "close", "reset", "value-period",
                  "wait", "sleep", "show", "help", "exit"};
  } else {
    candidates = {"Sim", "6Hz", "1sec", "on", "off", "menu", "subscriptions", "definitions", "requests", "texts",
                  "messages", "refused", "client", "disconnect", "Bool", "percent", "feet", "gallons"};
    // Names with blanks come quoted; local variables ("L:NAME") have none.
    for (const std::string& name : variableNames()) {
      candidates.push_back(name.find(' ') == std::string::npos ? name : "\"" + name + "\"");
    }
  }
  return rl_completion_matches(text, NextCandidate);
}

}  // namespace
#endif

LineEditor::LineEditor(std::istream& in, std::function<std::vector<std::string>()> names) : in_(in) {
#ifdef SIMHOST_LINE_EDITING
  editing_ = &in == &std::cin && isatty(STDIN_FILENO) != 0;
  if (editing_) {
    variableNames = std::move(names);
    rl_attempted_completion_function = Complete;
    rl_basic_word_break_characters = " ";
    rl_completer_quote_characters = "";
  }
#else
  (void)names;
#endif
}

bool LineEditor::Read(std::string* line) {
#ifdef SIMHOST_LINE_EDITING
  if (editing_) {
    char* text = readline("simhost> ");
    if (text == nullptr) return false;
    *line = text;
    if (!line->empty()) add_history(text);
    std::free(text);
    return true;
  }
#endif
  if (!std::getline(in_, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

}  // namespace simhost
