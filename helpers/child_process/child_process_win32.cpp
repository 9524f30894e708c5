// CreateProcess with an environment block of its own and the standard
// output and error handles pointed at files.
#include <winsock2.h>
#include <windows.h>

#include <cstring>

#include "child_process.h"

namespace child {
namespace {

// One argument quoted for the command line, as the C runtime splits it.
std::string Quoted(const std::string& word) {
  if (!word.empty() && word.find_first_of(" \t\"") == std::string::npos) return word;
  std::string out = "\"";
  std::size_t backslashes = 0;
  for (char c : word) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    out.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, '\\');
  return out + "\"";
}

HANDLE OpenOutput(const std::string& path, std::string* error) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) *error = "cannot write " + path + " (error " + std::to_string(GetLastError()) + ")";
  return file;
}

}  // namespace

struct ChildProcess::Impl {
  HANDLE process = nullptr;
  DWORD id = 0;
};

ChildProcess::ChildProcess() : impl_(std::make_unique<Impl>()) {}
ChildProcess::~ChildProcess() { Kill(); }

bool ChildProcess::Start(const Launch& launch, std::string* error) {
  std::vector<std::string> inherited;
  if (char* block = GetEnvironmentStringsA()) {
    for (const char* v = block; *v != '\0'; v += std::strlen(v) + 1) inherited.emplace_back(v);
    FreeEnvironmentStringsA(block);
  }
  std::string environment;
  for (const std::string& v : ChildEnvironment(inherited, launch.environment)) environment += v + '\0';
  environment += '\0';
  std::string commandLine = Quoted(launch.executable);
  for (const std::string& a : launch.arguments) {
    commandLine += ' ';
    commandLine += Quoted(a);
  }

  HANDLE out = INVALID_HANDLE_VALUE, err = INVALID_HANDLE_VALUE;
  if (!launch.outFile.empty() && (out = OpenOutput(launch.outFile, error)) == INVALID_HANDLE_VALUE) return false;
  if (!launch.errFile.empty()) {
    if (launch.errFile == launch.outFile) {
      DuplicateHandle(GetCurrentProcess(), out, GetCurrentProcess(), &err, 0, TRUE, DUPLICATE_SAME_ACCESS);
    } else if ((err = OpenOutput(launch.errFile, error)) == INVALID_HANDLE_VALUE) {
      if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
      return false;
    }
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out != INVALID_HANDLE_VALUE ? out : GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = err != INVALID_HANDLE_VALUE ? err : GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  const BOOL started = CreateProcessA(launch.executable.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0,
                                      environment.data(), launch.folder.empty() ? nullptr : launch.folder.c_str(),
                                      &startup, &info);
  const DWORD startError = GetLastError();
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
  if (!started) {
    *error = "cannot start " + launch.executable + " (error " + std::to_string(startError) + ")";
    return false;
  }
  CloseHandle(info.hThread);
  impl_->process = info.hProcess;
  impl_->id = info.dwProcessId;
  return true;
}

std::optional<int> ChildProcess::Wait(std::chrono::milliseconds limit) {
  if (impl_->process == nullptr) return std::nullopt;
  if (WaitForSingleObject(impl_->process, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0) return std::nullopt;
  DWORD code = 0;
  GetExitCodeProcess(impl_->process, &code);
  CloseHandle(impl_->process);
  impl_->process = nullptr;
  return static_cast<int>(code);
}

void ChildProcess::Kill() {
  if (impl_->process == nullptr) return;
  TerminateProcess(impl_->process, 1);
  WaitForSingleObject(impl_->process, INFINITE);
  CloseHandle(impl_->process);
  impl_->process = nullptr;
}

bool ChildProcess::Signal(const std::string& name, std::string* error) {
  *error = "no signal " + name + " on Windows";
  return false;
}

bool ChildProcess::Running() const { return impl_->process != nullptr; }
long ChildProcess::pid() const { return impl_->process != nullptr ? static_cast<long>(impl_->id) : -1; }

}  // namespace child
