// Where a test build of kzsfx (kzsfx_hooked.exe, built with KZSFX_TEST_HOOKS) tells the test
// driving it what its dialog did, and holds its extraction where the test asks. The product is
// built without them: every hook is then an empty inline function and leaves no code.
#pragma once

#include <cstdint>
#include <string>

namespace kzsfx::win32::test_hooks {

#ifdef KZSFX_TEST_HOOKS
// The dialog handled command `command` (IDOK, IDCANCEL, ...) while showing `view`.
void NoteCommand(int command, const char* view);
// The dialog now shows `view`.
void NoteView(const char* view);
// On the engine's thread after each block: `done` bytes of the archive are written and
// `entry` is in hand. The first block that reaches the count the test asked for in the entry
// it named is held there until the test releases it.
void AfterBlock(const std::string& entry, std::uint64_t done);
#else
inline void NoteCommand(int, const char*) {}
inline void NoteView(const char*) {}
inline void AfterBlock(const std::string&, std::uint64_t) {}
#endif

}  // namespace kzsfx::win32::test_hooks
