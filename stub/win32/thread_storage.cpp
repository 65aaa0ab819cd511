// The stub's own storage for thread_local variables, on Windows' fiber-local slots. GCC for
// MinGW reaches every thread_local through __emutls_get_address; the runtime's definition is
// built on winpthread, whose threads, locks and conditions would then go into every executable
// Quillet makes. This definition must be an object of the program itself to take precedence.
#include <windows.h>

#include <malloc.h>

#include <atomic>
#include <cstdint>
#include <cstring>

#include "stub/win32/runtime_stops.h"

namespace {

// What GCC emits for each thread_local variable (its __emutls_v. object); `slot` starts at zero.
struct EmulatedVariable {
  std::uintptr_t size;
  std::uintptr_t align;
  std::uintptr_t slot;  // the variable's fiber-local index plus one, once it has one
  const void* initial;  // the variable's initial bytes, or null for all zeros
};

// A thread's copy of a variable goes when the thread ends.
void WINAPI FreeCopy(void* copy) { ::_aligned_free(copy); }

DWORD SlotOf(EmulatedVariable& variable) {
  std::atomic_ref<std::uintptr_t> slot(variable.slot);
  std::uintptr_t known = slot.load(std::memory_order_acquire);
  if (known != 0) return static_cast<DWORD>(known - 1);
  const DWORD fresh = ::FlsAlloc(FreeCopy);
  if (fresh == FLS_OUT_OF_INDEXES) kzsfx::win32::StopOutOfMemory();
  // Two threads may reach a new variable at once: the first slot stored is everyone's.
  if (slot.compare_exchange_strong(known, std::uintptr_t{fresh} + 1, std::memory_order_acq_rel)) {
    return fresh;
  }
  ::FlsFree(fresh);
  return static_cast<DWORD>(known - 1);
}

}  // namespace

// NOLINTNEXTLINE(readability-identifier-naming): GCC calls it by this name.
extern "C" void* __emutls_get_address(EmulatedVariable* variable) {
  const DWORD slot = SlotOf(*variable);
  if (void* copy = ::FlsGetValue(slot)) return copy;
  void* copy = ::_aligned_malloc(variable->size, variable->align);
  if (copy == nullptr || !::FlsSetValue(slot, copy)) kzsfx::win32::StopOutOfMemory();
  if (variable->initial != nullptr) {
    std::memcpy(copy, variable->initial, variable->size);
  } else {
    std::memset(copy, 0, variable->size);
  }
  return copy;
}
