// Two looks in a row that agree make a change; a look that finds the file as
// it was acted on drops a change in progress (an edit undone in time).
#include "devices/profile_watch.h"

void ProfileWatch::Watch(const std::vector<std::string>& files) {
  files_.clear();
  for (const std::string& path : files) {
    Watched watched;
    watched.path = path;
    watched.settled = platform::QueryFileStamp(path);
    files_.push_back(watched);
  }
}

bool ProfileWatch::Check() {
  bool changed = false;
  for (Watched& file : files_) {
    const platform::FileStamp now = platform::QueryFileStamp(file.path);
    if (now == file.settled) {
      file.pending = false;
    } else if (file.pending && now == file.seen) {
      file.settled = now;
      file.pending = false;
      changed = true;
    } else {
      file.seen = now;
      file.pending = true;
    }
  }
  return changed;
}
