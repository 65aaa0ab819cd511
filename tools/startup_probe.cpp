// Test helper: after an optional delay, writes the STARTUPINFO it was started with and its
// command line to a file.
// It never touches a message queue, so it never becomes "idle" for WaitForInputIdle.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

// startup_probe <out-file> [delay-ms]
int main(int argc, char** argv) {
  if (argc < 2) return 2;
  if (argc > 2) ::Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
  STARTUPINFOA startup = {};
  ::GetStartupInfoA(&startup);
  std::FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 1;
  std::fprintf(out, "%lu %lu %u\n%s", static_cast<unsigned long>(startup.cb),
               static_cast<unsigned long>(startup.dwFlags), startup.wShowWindow,
               ::GetCommandLineA());
  return std::fclose(out) == 0 ? 0 : 1;
}
