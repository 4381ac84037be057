// The API table: every host entry point the module uses, found by name in
// the host process at the first module-init call. All calls into Python go
// through it, so the library links against no Python library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include "pybinding/host_profile.hpp"

namespace pybinding {

struct PyVersion {
  int64_t major = 0;
  int64_t minor = 0;
  int64_t micro = 0;
};

// Fields in declared order (py_lib_entries.inc). Functions hold host
// addresses; objects hold the host object itself; the PyExc_* entries hold
// the object their host variable pointed to when the table was loaded.
struct PyLib {
  void* module;
#define PYLIB_ENTRY(step, entry, kind, need, family, names, ...) std::type_identity_t<__VA_ARGS__> entry;
#include "pybinding/py_lib_entries.inc"
#undef PYLIB_ENTRY
};

// How each entry of the table is found (py_lib_entries.inc).
enum class EntryKind : uint8_t { Function, Object, ObjectPointer, Version };
enum class EntryNeed : uint8_t { Required, Optional, RequiredInFullApi, IfFirstAbsent, BytesPair, Probe, Own, Never };
enum class EntryFamily : uint8_t { Any, Py3, Py2 };
struct PyLibEntry {
  int step;
  const char* entry;
  size_t offset;  // in PyLib
  EntryKind kind;
  EntryNeed need;
  EntryFamily family;
  const char* names[3];  // tried left to right; the unused ones null
};
// In declared order.
extern const std::span<const PyLibEntry> pyLibEntries;

struct ExportedModule {
  std::string name;
  void* initAddr2;
  void* initAddr3;
};

extern PyLib* pyLib;
extern std::vector<ExportedModule> exportedModules;

// dlopen(nullptr, RTLD_NOW); never closed.
void* pythonLibHandleForThisProcess();
// Loads the table into `pyLib` unless it is already there.
void loadPyLibFromThisProcess();
// Builds a new table from `handle`; raises ValueError on a missing entry.
PyLib* loadPyLibFromModule(void* handle);
PyVersion getPyVersion(void* handle);
[[noreturn]] void symNotLoadedErr(const char* name);
void registerExportedModule(const std::string& name, void* initAddr2, void* initAddr3);

void deallocPythonObj(PyObject* o);

inline void incRef(PyObject* o) {
  const HostProfile& p = hostProfile;
  if (p.hostIncRef != nullptr) return p.hostIncRef(o);
  Py_ssize_t& count = refCount(o);
  if (p.immortalCounts && static_cast<int32_t>(count) < 0) return;
  ++count;
}
inline void decRef(PyObject* o) {
  const HostProfile& p = hostProfile;
  if (p.hostDecRef != nullptr) return p.hostDecRef(o);
  Py_ssize_t& count = refCount(o);
  if (p.immortalCounts && static_cast<int32_t>(count) < 0) return;
  if (--count == 0) pyLib->PyDealloc(o);
}

}  // namespace pybinding
