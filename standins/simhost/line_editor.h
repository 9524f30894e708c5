// Reading simhost's commands at a terminal: line editing, history, and tab
// completion of command words, system event names and the names of the
// simulation variables the client registered. Where the line-editing library
// is not built in, lines are read plainly.
#pragma once

#include <functional>
#include <istream>
#include <string>
#include <vector>

namespace simhost {

class LineEditor {
 public:
  // `names` gives the variable names to complete, asked afresh at each tab.
  LineEditor(std::istream& in, std::function<std::vector<std::string>()> names);
  // The next line, without its end; false at the end of input.
  bool Read(std::string* line);
  // True when lines come from a terminal with editing.
  bool Editing() const { return editing_; }

 private:
  std::istream& in_;
  bool editing_ = false;
};

}  // namespace simhost
