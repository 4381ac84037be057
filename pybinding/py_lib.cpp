#include "pybinding/py_lib.hpp"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "pybinding/host_kind.hpp"
#include "vaskor/failure.hpp"

namespace pybinding {

PyLib* pyLib = nullptr;

#define PYLIB_UNPAREN(...) __VA_ARGS__
#define PYLIB_ENTRY(step, entry, kind, need, family, names, ...)                             \
  {step, #entry, offsetof(PyLib, entry), EntryKind::kind, EntryNeed::need, EntryFamily::family, \
   {PYLIB_UNPAREN names}},
namespace {
constexpr PyLibEntry kEntries[] = {
#include "pybinding/py_lib_entries.inc"
};
}  // namespace
#undef PYLIB_ENTRY
#undef PYLIB_UNPAREN
const std::span<const PyLibEntry> pyLibEntries = kEntries;

std::vector<ExportedModule> exportedModules;

namespace {

void* slotOf(PyLib& lib, const PyLibEntry& e) { return reinterpret_cast<char*>(&lib) + e.offset; }

void store(PyLib& lib, const PyLibEntry& e, void* addr) {
  // An object pointer entry keeps the object its variable holds now.
  if (addr != nullptr && e.kind == EntryKind::ObjectPointer) addr = *static_cast<void**>(addr);
  std::memcpy(slotOf(lib, e), &addr, sizeof addr);
}

bool filled(PyLib& lib, const PyLibEntry& e) {
  void* addr = nullptr;
  std::memcpy(&addr, slotOf(lib, e), sizeof addr);
  return addr != nullptr;
}

// Looks the entry's names up from the `from`th on; the failure of a needed
// one names the last name tried.
void resolve(void* h, PyLib& lib, const PyLibEntry& e, bool needed, size_t from = 0) {
  const char* last = nullptr;
  void* addr = nullptr;
  for (size_t k = from; k < 3 && e.names[k] != nullptr && addr == nullptr; ++k) {
    last = e.names[k];
    addr = hostSymbol(h, last);
  }
  if (addr == nullptr && needed) symNotLoadedErr(last);
  store(lib, e, addr);
}

const PyLibEntry& entryNamed(const char* entry) {
  for (const PyLibEntry& e : pyLibEntries)
    if (std::strcmp(e.entry, entry) == 0) return e;
  std::abort();
}

// The pair is chosen on PyBytes_AsStringAndSize alone: both under their
// first names, or both under their second.
void loadBytesPair(void* h, PyLib& lib) {
  const PyLibEntry& as = entryNamed("PyBytes_AsStringAndSize");
  const PyLibEntry& from = entryNamed("PyBytes_FromStringAndSize");
  store(lib, as, hostSymbol(h, as.names[0]));
  store(lib, from, hostSymbol(h, from.names[0]));
  if (!filled(lib, as)) {
    resolve(h, lib, as, true, 1);
    resolve(h, lib, from, true, 1);
  }
}

std::vector<const PyLibEntry*> inStepOrder(bool probes) {
  std::vector<const PyLibEntry*> order;
  for (const PyLibEntry& e : pyLibEntries) {
    const bool probe = e.need == EntryNeed::Probe;
    if (e.need != EntryNeed::Own && e.need != EntryNeed::Never && probe == probes) order.push_back(&e);
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const PyLibEntry* a, const PyLibEntry* b) { return a->step < b->step; });
  return order;
}

void loadEntries(void* h, PyLib& lib) {
  const PyLibEntry* stepFirst = nullptr;
  bool bytesDone = false;
  for (const PyLibEntry* e : inStepOrder(false)) {
    if (stepFirst == nullptr || stepFirst->step != e->step) stepFirst = e;
    switch (e->need) {
      case EntryNeed::BytesPair:
        if (!bytesDone) loadBytesPair(h, lib);
        bytesDone = true;
        break;
      case EntryNeed::IfFirstAbsent:
        if (!filled(lib, *stepFirst)) resolve(h, lib, *e, true);
        break;
      default:
        resolve(h, lib, *e,
                e->need == EntryNeed::Required ||
                    (e->need == EntryNeed::RequiredInFullApi && hostExportsFullApi()));
    }
  }
}

}  // namespace

void* pythonLibHandleForThisProcess() { return dlopen(nullptr, RTLD_NOW); }

void loadPyLibFromThisProcess() {
  if (pyLib == nullptr) pyLib = loadPyLibFromModule(pythonLibHandleForThisProcess());
}

PyVersion getPyVersion(void* handle) {
  const VersionText getVersion = findVersionText(handle);
  if (getVersion == nullptr) vaskor::raise<vaskor::ValueError>("Could not determine Python version");
  const char* text = getVersion();
  if (text == nullptr) text = "";
  int major = 0, minor = 0, micro = 0;
  if (std::sscanf(text, "%d.%d.%d", &major, &minor, &micro) <= 0)
    vaskor::raise<vaskor::ValueError>(std::string("Could not determine Python version: ") + text);
  return {major, minor, micro};
}

PyLib* loadPyLibFromModule(void* handle) {
  auto lib = std::make_unique<PyLib>();  // value-initialised: every entry empty
  lib->module = handle;
  lib->pythonVersion = getPyVersion(handle);
  const uint64_t startOffset = detectStartOffset(handle);
  loadEntries(handle, *lib);
  lib->PyDealloc = deallocPythonObj;
  // Probes beyond the table, after every lookup it makes.
  for (const PyLibEntry* e : inStepOrder(true)) resolve(handle, *lib, *e, false);
  hostProfile = identifyHost(handle, *lib, startOffset);
  return lib.release();
}

void symNotLoadedErr(const char* name) {
  vaskor::raise<vaskor::ValueError>(std::string("Symbol not loaded: ") + name);
}

void registerExportedModule(const std::string& name, void* initAddr2, void* initAddr3) {
  exportedModules.push_back({name, initAddr2, initAddr3});
}

void deallocPythonObj(PyObject* o) {
  // The host's own entry also runs what it does around tp_dealloc (3.13+:
  // the reference tracer, the guard against deep recursion).
  if (hostProfile.dealloc != nullptr) return hostProfile.dealloc(o);
  typeDealloc(typeOf(o))(o);
}

}  // namespace pybinding
