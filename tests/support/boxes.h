// Message boxes are lines on standard error on POSIX, where tests read them;
// on Windows they are real boxes (which return at once under wine without a
// display) and cannot be read back.
#pragma once

namespace testsupport {

#ifdef _WIN32
inline constexpr bool kBoxesOnStderr = false;
#else
inline constexpr bool kBoxesOnStderr = true;
#endif

}  // namespace testsupport
