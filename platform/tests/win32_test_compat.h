// The few POSIX calls with which the tests set up their surroundings, for the Windows build of
// the tests: a fresh temporary directory (mkdtemp) and changes of the environment (setenv,
// unsetenv). The build includes this header in every test source on Windows.
#pragma once

#include <direct.h>
#include <errno.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

// Replaces the trailing "XXXXXX" of templ and creates that directory; templ, or null.
inline char* mkdtemp(char* templ) {
  size_t length = strlen(templ);
  if (length < 6 || strcmp(templ + length - 6, "XXXXXX") != 0) {
    errno = EINVAL;
    return nullptr;
  }
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  static unsigned long counter = 0;
  unsigned long long seed = (static_cast<unsigned long long>(::GetCurrentProcessId()) << 32) ^
                            ::GetTickCount() ^ (++counter * 7919u);
  for (int attempt = 0; attempt < 1000; ++attempt) {
    unsigned long long v = seed + static_cast<unsigned long long>(attempt) * 104729u;
    for (size_t i = length - 6; i < length; ++i) {
      templ[i] = kLetters[v % 36];
      v /= 36;
    }
    if (_mkdir(templ) == 0) return templ;
    if (errno != EEXIST) return nullptr;
  }
  return nullptr;
}

// An empty value removes the variable on Windows, which every reader here treats alike.
inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && getenv(name) != nullptr) return 0;
  return _putenv_s(name, value) == 0 ? 0 : -1;
}

inline int unsetenv(const char* name) {
  return _putenv_s(name, "") == 0 ? 0 : -1;
}
