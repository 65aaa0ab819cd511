// What std::terminate does in the stub: end the process, without the runtime's report.
#include <cstdlib>

// The runtime's default handler prints the exception's demangled type name to stderr, which
// links the C++ demangler (40 KB) into a GUI program with nowhere to print it. Defining the
// handler here keeps the runtime's, and the demangler, out of the link.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
