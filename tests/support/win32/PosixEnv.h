// What the tests use of POSIX, for tests built for Windows: setenv and
// unsetenv over _putenv_s, mkdtemp over _mktemp_s and _mkdir.
#pragma once

#include <direct.h>
#include <io.h>

#include <cstdlib>
#include <cstring>

inline int setenv(const char* name, const char* value, int overwrite) {
  if (!overwrite && std::getenv(name)) return 0;
  return _putenv_s(name, value);
}

inline int unsetenv(const char* name) { return _putenv_s(name, ""); }

inline char* mkdtemp(char* pattern) {
  if (_mktemp_s(pattern, std::strlen(pattern) + 1) != 0 || _mkdir(pattern) != 0) return nullptr;
  return pattern;
}
