#include "pybinding/host_kind.hpp"

#include <dlfcn.h>

#include <string>

namespace pybinding {

namespace {

// PyPy exports the whole API with "Py" turned into "PyPy" (PyPyTuple_New,
// _PyPy_NoneStruct); it is recognised by its version function.
bool pypyNames = false;

// The name under which the current host exports `name`.
const char* exportedName(const char* name, std::string& buffer) {
  if (!pypyNames) return name;
  buffer = name;
  const size_t at = buffer.find("Py");
  if (at != std::string::npos) buffer.insert(at + 2, "Py");
  return buffer.c_str();
}

}  // namespace

const char* hostKindName(HostKind kind) {
  switch (kind) {
    case HostKind::Release: return "release";
    case HostKind::RefTotals: return "debug";
    case HostKind::TraceRefs: return "reference-tracing";
    case HostKind::FreeThreaded: return "free-threaded";
    case HostKind::PyPy: return "PyPy";
  }
  return "?";
}

VersionText findVersionText(void* handle) {
  auto text = reinterpret_cast<VersionText>(dlsym(handle, "Py_GetVersion"));
  pypyNames = false;
  if (text == nullptr) {
    text = reinterpret_cast<VersionText>(dlsym(handle, "PyPy_GetVersion"));
    pypyNames = text != nullptr;
  }
  return text;
}

void* hostSymbol(void* handle, const char* name) {
  std::string buffer;
  return dlsym(handle, exportedName(name, buffer));
}

bool hostExportsFullApi() { return !pypyNames; }

uint64_t detectStartOffset(void* handle) {
  // The rule asks for all three creation names, which no ordinary host
  // exports together.
  bool all = hostSymbol(handle, "PyModule_Create2") != nullptr &&
             hostSymbol(handle, "Py_InitModule4_64") != nullptr &&
             hostSymbol(handle, "Py_InitModule4") != nullptr;
  return all ? 16 : 0;
}

HostKind detectHostKind(void* handle, uint64_t startOffset) {
  if (pypyNames) return HostKind::PyPy;
  // Only lock-free builds merge split counts; only debug builds check them.
  if (hostSymbol(handle, "_Py_MergeZeroLocalRefcount") != nullptr) return HostKind::FreeThreaded;
  // The creation functions are renamed where the head carries link words.
  if (hostSymbol(handle, "PyModule_Create2TraceRefs") != nullptr ||
      hostSymbol(handle, "Py_InitModule4TraceRefs_64") != nullptr || startOffset != 0)
    return HostKind::TraceRefs;
  if (hostSymbol(handle, "_Py_NegativeRefcount") != nullptr) return HostKind::RefTotals;
  return HostKind::Release;
}

}  // namespace pybinding
