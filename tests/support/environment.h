// Setting and removing an environment variable of the test process, for the
// settings a platform client reads from there (a proxy, for one).
#pragma once

#include <cstdlib>

inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  // The run-time's copy as well as the process's: a system library may read
  // either.
  ::_putenv_s(name, value);
#else
  ::setenv(name, value, 1);
#endif
}

inline void UnsetEnv(const char* name) {
#ifdef _WIN32
  ::_putenv_s(name, "");
#else
  ::unsetenv(name);
#endif
}
