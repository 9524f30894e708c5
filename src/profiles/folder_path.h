// Joining folder paths the way the profile lookup builds them: with the
// separator the folder already uses, since a path may be a Windows text from
// the simulator or a POSIX one from the pilot's settings.
#pragma once

#include <string>
#include <vector>

inline bool IsPathSeparator(char c) { return c == '\\' || c == '/'; }

// A folder given the POSIX way stays one; a Windows path or a bare name
// takes a backslash.
inline std::string JoinPath(const std::string& folder, const std::string& piece) {
  if (folder.empty() || IsPathSeparator(folder.back())) return folder + piece;
  const bool posix = folder.find('/') != std::string::npos && folder.find('\\') == std::string::npos;
  return folder + (posix ? "/" : "\\") + piece;
}

// The pieces between separators of either kind; empty ones are dropped.
inline std::vector<std::string> SplitPieces(const std::string& path) {
  std::vector<std::string> pieces;
  std::string piece;
  for (char c : path) {
    if (IsPathSeparator(c)) {
      if (!piece.empty()) pieces.push_back(piece);
      piece.clear();
    } else {
      piece += c;
    }
  }
  if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}
