// Changes to the process environment for tests.
#pragma once

#include <stdlib.h>

namespace trovex::testing {

// Sets or (with nullptr) removes a variable of the process environment.
inline void SetEnv(const char* name, const char* value) {
#ifdef _WIN32
  _putenv_s(name, value ? value : "");
#else
  if (value) {
    ::setenv(name, value, 1);
  } else {
    ::unsetenv(name);
  }
#endif
}

}  // namespace trovex::testing
