// Notices that a device's profile was edited, so that the pilot need not
// reload by hand on simulators without the add-on menu. It watches the file
// the active profile came from and, when that was the GLOBAL one because no
// LOCAL file existed, the place where the pilot's own LOCAL file would go.
// Each look is one status query per file (no folder listing, no read), and a
// change counts only once it reads the same on two looks in a row, so a file
// still being written is never loaded and each change is acted on once,
// whatever it is: a new file, a truncated, deleted or replaced one, a folder
// in its place, a time moved backwards.
#pragma once

#include <string>
#include <vector>

#include "platform/file_access.h"

class ProfileWatch {
 public:
  // Watches `files` (paths as the profile choice gives them) from their
  // state now; what was watched before is forgotten.
  void Watch(const std::vector<std::string>& files);
  // One look at every file; true when a change has settled since the last
  // look (at most once per change).
  bool Check();

 private:
  struct Watched {
    std::string path;
    platform::FileStamp settled;  // as last acted on
    platform::FileStamp seen;     // a change seen at the last look, not yet settled
    bool pending = false;
  };
  std::vector<Watched> files_;
};
