// The "C"-locale conversions on Windows. The runtime's own strtod reads
// hexadecimal forms, "inf" and "nan" but follows the current locale; the
// locale-object variant (_strtod_l) of this runtime reads none of those
// forms. So while the process runs in the "C" locale (it never changes it
// itself) the plain calls are used, and otherwise the calling thread is
// switched to the "C" locale for the duration of the call.
#include "platform/c_locale.h"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>

#include <locale.h>

namespace platform {
namespace {

bool ProcessInCLocale() {
  const char* current = std::setlocale(LC_ALL, nullptr);
  return current != nullptr && std::strcmp(current, "C") == 0;
}

// Puts the calling thread into the "C" locale until destroyed; errno is left
// as the conversion set it.
class ThreadCLocale {
 public:
  ThreadCLocale() : previousMode_(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE)) {
    const char* current = std::setlocale(LC_ALL, nullptr);
    saved_ = current != nullptr ? current : "C";
    std::setlocale(LC_ALL, "C");
  }
  ~ThreadCLocale() {
    const int error = errno;
    std::setlocale(LC_ALL, saved_.c_str());
    _configthreadlocale(previousMode_);
    errno = error;
  }
  ThreadCLocale(const ThreadCLocale&) = delete;
  ThreadCLocale& operator=(const ThreadCLocale&) = delete;

 private:
  int previousMode_;
  std::string saved_;
};

}  // namespace

long CLocaleStrtol(const char* text, char** end, int base) {
  if (ProcessInCLocale()) return std::strtol(text, end, base);
  const int error = errno;
  ThreadCLocale scope;
  errno = error;
  return std::strtol(text, end, base);
}

double CLocaleStrtod(const char* text, char** end) {
  if (ProcessInCLocale()) return std::strtod(text, end);
  const int error = errno;
  ThreadCLocale scope;
  errno = error;
  return std::strtod(text, end);
}

char CLocaleToUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace platform
