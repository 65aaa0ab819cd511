// The files a test reads from the build: CMake names each in an environment variable of the
// test, as a host path.
#pragma once

#include <algorithm>
#include <cstdlib>
#include <string>

namespace quillet::testing {

// The host path in environment variable `name` as this platform opens it (under Wine the host's
// root is drive Z:), or empty when the test was not given it.
inline std::string InputPath(const char* name) {
  const char* value = std::getenv(name);
  std::string path = value != nullptr ? value : "";
#ifdef _WIN32
  if (path.starts_with('/')) path.insert(0, "Z:");
  std::replace(path.begin(), path.end(), '/', '\\');
#endif
  return path;
}

}  // namespace quillet::testing
