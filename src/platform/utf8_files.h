// Whole-file reading and crash-safe replacing of small text files named by
// UTF-8 paths, for the files other programs own (the simulator's exe.xml):
// a path may hold any character of the pilot's user name or folders.
#pragma once

#include <string>

namespace platform {

enum class PathKind { Missing, File, Folder, Other };

PathKind KindOfPath(const std::string& path);

// A file that may not be written to (Windows' read-only attribute, or no
// write permission bit on POSIX, whoever runs the program).
bool IsReadOnlyFile(const std::string& path);

// The whole file; false with the system's reason in `error`.
bool ReadWholeFile(const std::string& path, std::string* bytes, std::string* error);

// The file that `path` leads to once symbolic links are followed (pilots
// share one exe.xml between simulators through a link): `path` itself when
// it is no link or names nothing yet. False with the system's reason for a
// link to nothing or a loop of links.
bool FollowLinks(const std::string& path, std::string* target, std::string* error);

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and
// renames it over `path`, so that a crash or a full disk leaves either the old
// or the new file. The temporary file is `path` + ".nimbra-" + the process
// id + "-" + an attempt number from 0, created only where nothing exists, so
// that nothing planted at its name (a link, another run's file) is ever
// written through; a taken name moves on to the next number. A link at `path`
// itself is replaced, not followed: resolve it first with FollowLinks where
// its target is meant. False with the system's reason; the old file is then
// untouched and the temporary file removed.
bool ReplaceFileContents(const std::string& path, const std::string& bytes, std::string* error);

// An absolute path as a program started by the simulator sees it: on Windows
// the full path; on POSIX a path of the simulator's Wine prefix (an absolute
// Linux path becomes Z:\...). A path that already holds '\' is kept as it is.
std::string LaunchPath(const std::string& path);

// The folder separator of the paths above.
char PathSeparator();

}  // namespace platform
