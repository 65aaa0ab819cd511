// Keeping the program's own folder and the current folder out of the DLL search.
#pragma once

namespace quillet {

// Quillet is run from download folders too: a DLL that arrived beside it must never be loaded
// in place of a system one. From here on DLLs named without a path come from System32 only.
void RestrictDllSearch();

}  // namespace quillet
