// asmjit's debug output, for the shared builds (the C library and the Python module). Debian ships
// asmjit as a static library whose object for these three functions reads stderr in a way a
// shared object cannot hold; every other object of it can go into one. Defining them here keeps
// that object out of the link. The native tier never asks asmjit for a message (its error handler
// only notes that an error happened), and nothing asserts in a release build of asmjit.
#include <cstdio>
#include <cstdlib>

#include <asmjit/core.h>

ASMJIT_BEGIN_NAMESPACE
namespace DebugUtils {

const char* errorAsString(Error) noexcept { return "asmjit error"; }

void debugOutput(const char* str) noexcept { std::fputs(str, stderr); }

void assertionFailed(const char* file, int line, const char* msg) noexcept {
  std::fprintf(stderr, "asmjit assertion failed at %s:%d: %s\n", file, line, msg);
  std::abort();
}

}  // namespace DebugUtils
ASMJIT_END_NAMESPACE
