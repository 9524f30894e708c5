// Number reading and upper-casing as the C runtime does them in the "C"
// locale, whatever locale the process (or a library it loads) has set.
// Profiles are shared between users, so "2.5" must mean the same everywhere.
#pragma once

namespace platform {

// strtol in the "C" locale: same end pointer, result and errno (ERANGE).
long CLocaleStrtol(const char* text, char** end, int base);

// strtod in the "C" locale: decimal point ".", exponents, "inf", "nan" and
// hexadecimal forms; same end pointer, result and errno (ERANGE).
double CLocaleStrtod(const char* text, char** end);

// toupper in the "C" locale: only 'a' to 'z' change. Takes any char value.
char CLocaleToUpper(char c);

}  // namespace platform
