// The few file operations the bridge's log needs, and where the log lies by
// default. Log paths are UTF-8 texts on both platforms (the Windows side uses
// the wide calls), since the user's folder may hold any character.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// Windows: %LOCALAPPDATA%\Nimbra Bridge\Nimbra_Bridge.log. POSIX:
// $XDG_STATE_HOME/nimbra-bridge/bridge.log, with ~/.local/state when that is
// unset. Empty when neither folder is known.
std::string DefaultLogPath();

// The local date and time to the millisecond: "2026-12-09 04:52:52.123".
std::string LocalTimeStamp();

// Appends `bytes` to the file, making it and its missing folders. False when
// any of it fails; then nothing or a part was written.
bool AppendToFile(const std::string& path, const std::string& bytes);

// The file's size, or -1 when it cannot be queried.
std::int64_t SizeOfFile(const std::string& path);

// Moves `from` to `to`, replacing a file there.
bool MoveOverFile(const std::string& from, const std::string& to);

}  // namespace platform
