// The "C"-locale conversions on POSIX: the *_l variants with one "C" locale
// object made on first use and kept for the life of the process.
#include "platform/c_locale.h"

#include <ctype.h>
#include <locale.h>
#include <stdlib.h>

namespace platform {
namespace {

locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

long CLocaleStrtol(const char* text, char** end, int base) {
  return strtol_l(text, end, base, CLocale());
}

double CLocaleStrtod(const char* text, char** end) {
  return strtod_l(text, end, CLocale());
}

char CLocaleToUpper(char c) {
  return static_cast<char>(toupper_l(static_cast<unsigned char>(c), CLocale()));
}

}  // namespace platform
