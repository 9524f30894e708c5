// The one way the bridge shows a message: a system-modal box for failures, or
// a red text line in the simulator for news.
#pragma once

#include <string>

// modal true: message box; false: simulator text line (dropped without a connection).
void ReportMessage(std::string text, std::string caption, bool modal);
