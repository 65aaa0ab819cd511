// Fuzzes the installer script reader: any comment gives a script, a fault naming a line that
// exists, or nothing; a Setup it accepts stays inside the extracted tree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "stub/core/installer_script.h"
#include "stub/core/safe_path.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view comment(reinterpret_cast<const char*>(data), size);
  const kzsfx::ScriptReading reading = kzsfx::ReadInstallerScript(comment);
  if (reading.script && reading.error) std::abort();
  if (reading.Present() != kzsfx::IsInstallerScript(comment)) std::abort();
  if (reading.error) {
    std::size_t lines = 1;
    for (std::size_t i = 0; i < size; ++i)
      if (comment[i] == '\n' || (comment[i] == '\r' && (i + 1 == size || comment[i + 1] != '\n')))
        ++lines;
    if (reading.error->lineNumber < 2 || reading.error->lineNumber > lines) std::abort();
    if (reading.error->line.size() > size || comment.find(reading.error->line) == comment.npos)
      std::abort();
  }
  if (reading.script && reading.script->setup) {
    const kzsfx::SafePath again = kzsfx::CheckEntryPath(reading.script->setup->program);
    if (!again.Ok() || again.directory || again.Joined() != reading.script->setup->program)
      std::abort();
  }
  if (reading.script && reading.script->tempMode &&
      (reading.script->path || !reading.script->setup))
    std::abort();
  return 0;
}
