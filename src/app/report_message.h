// The one way the bridge shows a message: a system-modal box for failures, or
// a red text line in the simulator for news. Every message also goes to the
// bridge's log file, where the pilot can find it on simulators that show no
// text lines, together with the few other lines the bridge notes there.
#pragma once

#include <string>

// modal true: message box; false: simulator text line (dropped without a connection).
void ReportMessage(std::string text, std::string caption, bool modal);

// Opens the log at `path` (platform/log_output.h names the usual place); from
// then on every message and LogLine is written there. A log that cannot be
// written drops lines and never stops the bridge.
void OpenBridgeLog(const std::string& path);

// One line for the log alone; nothing while no log is open.
void LogLine(const std::string& line);

// The open log's path; empty while none is open.
std::string BridgeLogPath();
