// Which host the module runs in, told from its exports alone, and the names
// it exports its API by. Only the profile asks which host this is: what the
// module may do on each is a field of the profile (host_profile.hpp).
#pragma once

#include <cstdint>

namespace pybinding {

enum class HostKind : uint8_t {
  Release,       // CPython, plain counts
  RefTotals,     // CPython debug build: keeps a total of all references
  TraceRefs,     // CPython build whose objects carry two link words ahead of the count
  FreeThreaded,  // CPython without the interpreter lock: split counts, not served
  PyPy,
};

const char* hostKindName(HostKind kind);

// The host's function giving its version text, null when it has none. The
// name it is found under tells how the host names all its exports.
using VersionText = const char* (*)();
VersionText findVersionText(void* handle);

// The host's entry point or object `name` is known by: its CPython name, or
// PyPy's prefixed form of it on PyPy. Null when absent.
void* hostSymbol(void* handle, const char* name);

// Whether the host exports all of CPython's API the table names; PyPy lacks
// a few entries, which the module never calls there.
bool hostExportsFullApi();

// How far the count lies into the object head: 16 on hosts whose objects
// carry two link words ahead of it (reference tracing), else 0. Told by the
// creation names, which such hosts rename.
uint64_t detectStartOffset(void* handle);

// After findVersionText, with the offset detectStartOffset found.
HostKind detectHostKind(void* handle, uint64_t startOffset);

}  // namespace pybinding
