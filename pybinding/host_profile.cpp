#include "pybinding/host_profile.hpp"

#include <cstdio>

#include "pybinding/py_lib.hpp"

namespace pybinding {

HostProfile hostProfile;

namespace {

template <class Fn>
Fn symbol(void* handle, const char* name) {
  return reinterpret_cast<Fn>(hostSymbol(handle, name));
}

bool atLeast(const PyVersion& v, int64_t major, int64_t minor) {
  return v.major > major || (v.major == major && v.minor >= minor);
}

// Reads back ints the host makes of values at every digit count and both
// range ends; a layout with any value read wrong, or refused, is cleared.
// `format` is the host's conversion of a long long ("L": a long) or a long
// ("l": Python 2's int).
void verifyInts(HostProfile& profile, const PyLib& lib, const char* format) {
  static constexpr long long kValues[] = {
      0, 1, -1, (1LL << 30) - 1, 1LL << 30, -(1LL << 40), (1LL << 60) - 1, -(1LL << 60),
      (1LL << 62) + 5, INT64_MAX, INT64_MIN};
  const bool shortInts = format[0] == 'l';
  const ExactInts ints(profile, lib.PyLong_Type, lib.PyInt_Type);
  bool verified = true;
  for (long long value : kValues) {
    PyObject* o = shortInts ? lib.Py_BuildValue(format, static_cast<long>(value))
                            : lib.Py_BuildValue(format, value);
    if (o == nullptr) {
      lib.PyErr_Clear();
      verified = false;
      break;
    }
    long long read = 0;
    verified = ints.read(o, typeOf(o), read) && read == value;
    decRef(o);
    if (!verified) break;
  }
  if (!verified) {
    if (shortInts) profile.shortInts = false;
    else profile.intDigits = IntDigits::None;
  }
}

}  // namespace

HostProfile identifyHost(void* handle, const PyLib& lib, uint64_t startOffset) {
  HostProfile p;
  p.kind = detectHostKind(handle, startOffset);
  switch (p.kind) {
    case HostKind::TraceRefs:
      p.refOffset = 16;
      p.typeOffset = 24;
      p.headSize = 32;
      break;
    case HostKind::PyPy:
      // The count, a link to PyPy's own object, then the type.
      p.typeOffset = 16;
      p.headSize = 24;
      p.immortalCounts = false;
      break;
    default:
      break;
  }
  const bool pypy = p.kind == HostKind::PyPy;
  const bool python2 = lib.pythonVersion.major == 2;
  // Expected offsets; verifyHostLayout keeps only those that hold.
  p.tupleItems = p.headSize + 8;
  // From 3.14 a tuple caches its hash between its size and its items.
  if (!pypy && atLeast(lib.pythonVersion, 3, 14)) p.tupleItems += 8;
  // PyPy's lists keep their items out of C's reach.
  p.listItems = pypy ? 0 : p.headSize + 8;
  // PyPy's ints keep their value out of C's reach.
  if (!pypy) {
    p.intDigits = atLeast(lib.pythonVersion, 3, 12) ? IntDigits::Tagged : IntDigits::SignedCount;
    p.shortInts = python2;
  }
  p.exportedIncRef = symbol<void (*)(PyObject*)>(handle, "Py_IncRef");
  p.exportedDecRef = symbol<void (*)(PyObject*)>(handle, "Py_DecRef");
  if (p.exportedIncRef == nullptr || p.exportedDecRef == nullptr) p.exportedIncRef = p.exportedDecRef = nullptr;
  if (p.kind == HostKind::RefTotals || p.kind == HostKind::TraceRefs) {
    p.hostIncRef = p.exportedIncRef;
    p.hostDecRef = p.exportedDecRef;
  }
  p.bufferSize = pypy ? kBufferSizePyPy : lib.pythonVersion.major < 3 ? kBufferSizePython2 : kBufferSizePython3;
  p.exportersHoldBuffers = !pypy;
  p.oldBuffers = python2;
  p.bytesAreStr = python2;
  p.int64Typecode = python2 ? 'l' : 'q';
  // After the item count, the same from CPython 2.7 to 3.15.
  if (!pypy && lib.PyMem_Malloc != nullptr) p.arrayItems = p.headSize + 8;
  p.classesCollected = !pypy;
  p.moduleShowsDefDoc = !pypy;
  p.dealloc = symbol<void (*)(PyObject*)>(handle, "_Py_Dealloc");
  return p;
}

InitModule4 findInitModule4(void* handle) {
  void* create = hostSymbol(handle, "Py_InitModule4");
  for (const char* other : {"Py_InitModule4_64", "Py_InitModule4TraceRefs_64", "_Py_InitPyPyModule"})
    if (create == nullptr) create = hostSymbol(handle, other);
  return reinterpret_cast<InitModule4>(create);
}

ModuleCreate2 findModuleCreate2(void* handle) {
  void* create = hostSymbol(handle, "PyModule_Create2");
  if (create == nullptr) create = hostSymbol(handle, "PyModule_Create2TraceRefs");
  return reinterpret_cast<ModuleCreate2>(create);
}

const char* hostRefusal(const PyLib& lib) {
  HostProfile& p = hostProfile;
  if (p.checked) return p.refusal;
  p.checked = true;
  static char message[160];
  const char* reason = nullptr;
  if (p.kind == HostKind::FreeThreaded)
    reason = "free-threaded builds keep split reference counts it does not maintain";
  else if (!verifyHostLayout(p, lib, reason) && reason == nullptr)
    reason = "its objects cannot be read";
  if (reason != nullptr) {
    std::snprintf(message, sizeof message, "pyvaskor cannot run on this %s host: %s", hostKindName(p.kind),
                  reason);
    p.refusal = message;
  }
  return p.refusal;
}

bool verifyHostLayout(HostProfile& profile, const PyLib& lib, const char*& reason) {
  // The checks read objects through the profile under test.
  const HostProfile before = hostProfile;
  hostProfile = profile;
  auto fail = [&](const char* why) {
    hostProfile = before;
    reason = why;
    return false;
  };
  PyObject* tuple = lib.PyTuple_New(2);
  if (tuple == nullptr) return fail("no tuple could be made");
  if (typeOf(tuple) != lib.PyTuple_Type || varSize(tuple) != 2) {
    // Nothing else can be read; the tuple is left to the host.
    return fail("its objects do not have the expected head");
  }
  if (hostProfile.exportedIncRef != nullptr) {
    const Py_ssize_t count = refCount(tuple);
    hostProfile.exportedIncRef(tuple);
    const bool countHere = refCount(tuple) == count + 1;
    hostProfile.exportedDecRef(tuple);
    if (!countHere) {
      hostProfile.hostIncRef = hostProfile.exportedIncRef;
      hostProfile.hostDecRef = hostProfile.exportedDecRef;
    }
  }
  PyObject* list = lib.PyList_New(2);
  if (list == nullptr) {
    decRef(tuple);
    return fail("no list could be made");
  }
  incRef(lib.Py_None);
  lib.PyList_SetItem(list, 1, lib.Py_None);
  // The tuple takes the list (item 0) and None (item 1).
  incRef(lib.Py_None);
  lib.PyTuple_SetItem(tuple, 0, list);
  lib.PyTuple_SetItem(tuple, 1, lib.Py_None);
  if (hostProfile.tupleItems != 0 &&
      !(tupleItems(tuple)[0] == list && tupleItems(tuple)[1] == lib.Py_None))
    hostProfile.tupleItems = 0;
  if (hostProfile.listItems != 0) {
    // Followed only when it looks like a pointer and the item count is there.
    const auto items = reinterpret_cast<uintptr_t>(hostField<PyObject**>(list, hostProfile.listItems));
    const bool plausible = varSize(list) == 2 && items != 0 && items % sizeof(void*) == 0;
    if (!plausible || listItems(list)[1] != lib.Py_None || listItems(list)[0] != nullptr)
      hostProfile.listItems = 0;
  }
  decRef(tuple);  // and with it the list
  if (hostProfile.intDigits != IntDigits::None) verifyInts(hostProfile, lib, "L");
  if (hostProfile.shortInts) verifyInts(hostProfile, lib, "l");
  const HostProfile checked = hostProfile;
  hostProfile = before;
  profile = checked;  // also when `profile` is the profile in use
  return true;
}

}  // namespace pybinding
