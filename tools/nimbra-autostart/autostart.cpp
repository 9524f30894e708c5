// The commands of nimbra-autostart over one exe.xml each: the file is read
// whole, edited as a document, and replaced only when something changed,
// after the old one was kept as exe.xml.nimbra-backup. Any doubt about the
// file (unreadable, not XML, another root, read-only, a folder, a link to
// nothing) leaves it as it is. A link is edited through to its file, which
// is where the backup and the lock go; two runs on one file take turns.
#include "autostart.h"

#include <algorithm>
#include <chrono>
#include <memory>

#include "exe_xml.h"
#include "platform/edit_lock.h"
#include "platform/simulator_folders.h"
#include "platform/utf8_files.h"

namespace autostart {
namespace {

constexpr const char* kUsage =
    "usage: nimbra-autostart add|remove|status [--sim 2020|2024|all] [--file PATH] [--exe PATH]\n"
    "  add     start Nimbra Bridge with the simulator (an entry in its exe.xml)\n"
    "  remove  take that entry out again\n"
    "  status  show each simulator's exe.xml and the entry\n"
    "  --sim   only this simulator (default: all)\n"
    "  --file  this exe.xml instead of the simulators' own\n"
    "  --exe   the program to start (default: Nimbra_Bridge.exe beside this tool)\n";

enum class Command { Add, Remove, Status };

struct Options {
  Command command = Command::Status;
  int year = 0;  // 0: every simulator
  std::string file;
  std::string exe;
};

bool ParseOptions(const std::vector<std::string>& arguments, Options* options, std::string* problem) {
  if (arguments.empty()) {
    *problem = "no command given";
    return false;
  }
  const std::string& command = arguments[0];
  if (command == "add") {
    options->command = Command::Add;
  } else if (command == "remove") {
    options->command = Command::Remove;
  } else if (command == "status") {
    options->command = Command::Status;
  } else {
    *problem = "unknown command '" + command + "'";
    return false;
  }
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& name = arguments[i];
    if (name != "--sim" && name != "--file" && name != "--exe") {
      *problem = "unknown option '" + name + "'";
      return false;
    }
    if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
      *problem = name + " needs a value";
      return false;
    }
    const std::string& value = arguments[++i];
    if (name == "--sim") {
      if (value == "2020" || value == "2024") {
        options->year = std::stoi(value);
      } else if (value == "all") {
        options->year = 0;
      } else {
        *problem = "--sim takes 2020, 2024 or all, not '" + value + "'";
        return false;
      }
    } else if (name == "--file") {
      options->file = value;
    } else {
      options->exe = value;
    }
  }
  return true;
}

struct Target {
  std::string label;  // "MSFS 2020 (Steam)", or the file's path
  std::string file;
};

// How long a run waits for another one on the same file.
constexpr std::chrono::seconds kLockPatience{10};

std::string OrNotSet(const std::string& text) { return text.empty() ? "(not set)" : text; }

// The document in `file`; null (and a message) when it may not be touched.
// A missing or empty file gives the simulator's empty list.
std::optional<ExeXml> Load(const std::string& file, std::string* old, bool* exists, std::ostream& err) {
  *exists = false;
  switch (platform::KindOfPath(file)) {
    case platform::PathKind::Missing:
      return ExeXml::Empty();
    case platform::PathKind::Folder:
      err << file << ": is a folder, not a file; nothing changed\n";
      return std::nullopt;
    case platform::PathKind::Other:
      err << file << ": is not a regular file; nothing changed\n";
      return std::nullopt;
    case platform::PathKind::File:
      break;
  }
  std::string reason;
  if (!platform::ReadWholeFile(file, old, &reason)) {
    err << file << ": cannot be read (" << reason << "); nothing changed\n";
    return std::nullopt;
  }
  *exists = true;
  if (old->find_first_not_of(" \t\r\n") == std::string::npos) return ExeXml::Empty();
  std::optional<ExeXml> xml = ExeXml::Parse(*old, &reason);
  if (!xml) err << file << ": not a valid exe.xml: " << reason << "; nothing changed\n";
  return xml;
}

int Edit(const Options& options, const Target& target, const std::string& exe, std::ostream& out, std::ostream& err) {
  std::string file;
  std::string reason;
  if (!platform::FollowLinks(target.file, &file, &reason)) {
    err << target.file << ": " << reason << "; nothing changed\n";
    return kRefused;
  }
  const std::unique_ptr<platform::EditLock> lock = platform::LockForEditing(file, kLockPatience, &reason);
  if (!lock) {
    err << file << ": cannot be locked for the change (" << reason << "); nothing changed\n";
    return kRefused;
  }
  std::string old;
  bool exists = false;
  std::optional<ExeXml> xml = Load(file, &old, &exists, err);
  if (!xml) return kRefused;
  const bool changed = options.command == Command::Add ? xml->Add(exe) : xml->Remove();
  if (!changed) {
    out << target.label << ": " << (options.command == Command::Add ? "already starts " : "no entry for ") << kEntryName
        << "; nothing to do\n";
    return kDone;
  }
  if (exists && platform::IsReadOnlyFile(file)) {
    err << file << ": is read-only; nothing changed\n";
    return kRefused;
  }
  const std::string backup = file + ".nimbra-backup";
  if (exists && !platform::ReplaceFileContents(backup, old, &reason)) {
    err << backup << ": cannot be written (" << reason << "); nothing changed\n";
    return kRefused;
  }
  if (!platform::ReplaceFileContents(file, xml->Text(), &reason)) {
    err << file << ": cannot be written (" << reason << "); the old file is unchanged\n";
    return kRefused;
  }
  out << target.label << ": "
      << (options.command == Command::Add ? "starts " + exe : "removed " + std::string(kEntryName)) << " (" << file
      << (exists ? ", old file kept as " + backup : ", created") << ")\n";
  return kDone;
}

void Show(const Target& target, std::ostream& out, std::ostream& err) {
  out << target.label << ": " << target.file;
  std::string old;
  bool exists = false;
  switch (platform::KindOfPath(target.file)) {
    case platform::PathKind::Missing:
      out << " (none: nothing starts with the simulator)\n";
      return;
    case platform::PathKind::File:
      break;
    default:
      out << "\n";
      err << target.file << ": is not a file\n";
      return;
  }
  out << "\n";
  std::optional<ExeXml> xml = Load(target.file, &old, &exists, err);
  if (!xml) return;
  const std::vector<OurEntry> entries = xml->OurEntries();
  if (entries.empty()) out << "  no entry for " << kEntryName << "\n";
  for (const OurEntry& entry : entries) {
    out << "  " << kEntryName << ": " << entry.path << ", Disabled " << OrNotSet(entry.disabled) << ", ManualLoad "
        << OrNotSet(entry.manualLoad) << "\n";
  }
}

std::string Join(const std::string& folder, const std::string& name) { return folder + name; }

}  // namespace

int Run(const std::vector<std::string>& arguments, const std::string& programFolder, std::ostream& out,
        std::ostream& err) {
  Options options;
  std::string problem;
  if (!ParseOptions(arguments, &options, &problem)) {
    err << "nimbra-autostart: " << problem << "\n" << kUsage;
    return kRefused;
  }
  const std::string exe =
      platform::LaunchPath(options.exe.empty() ? Join(programFolder, "Nimbra_Bridge.exe") : options.exe);

  std::vector<Target> targets;
  if (!options.file.empty()) {
    targets.push_back({options.file, options.file});
  } else {
    for (int year : {2020, 2024}) {
      if (options.year != 0 && options.year != year) continue;
      bool found = false;
      for (const platform::SimulatorFolder& place : platform::SimulatorFolders(platform::PathText::Utf8)) {
        if (place.year != year) continue;
        if (platform::KindOfPath(Join(place.folder, "UserCfg.opt")) != platform::PathKind::File) continue;
        found = true;
        targets.push_back({"MSFS " + std::to_string(year) + " (" + place.edition + ")", Join(place.folder, "exe.xml")});
      }
      if (!found && options.command == Command::Status) out << "MSFS " << year << ": not found\n";
    }
    if (targets.empty()) {
      err << "nimbra-autostart: no simulator found (no UserCfg.opt in its usual folders)\n";
      return kNoSimulator;
    }
  }

  int code = kDone;
  for (const Target& target : targets) {
    if (options.command == Command::Status) {
      Show(target, out, err);
    } else {
      code = std::max(code, Edit(options, target, exe, out, err));
    }
  }
  return code;
}

}  // namespace autostart
