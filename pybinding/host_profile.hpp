// What the module knows of its host, in one place. One binary serves
// CPython 2.7 to 3.15 in release and debug builds and PyPy, whose object
// heads, tuples, reference rules, buffers, arrays and classes differ; the
// loader identifies the host from its exports (host_kind.hpp), fills the
// profile below once, and checks each layout a fast path relies on against
// objects the host itself made. Everything the module reads or writes inside
// a host object, and every choice it makes by host, goes through the
// profile; whatever was not verified goes through the host's API instead.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

#include "pybinding/host_kind.hpp"

namespace pybinding {

using Py_ssize_t = ssize_t;

// Opaque: their fields are reached only through the profile.
struct PyObject;
struct PyTypeObject;

using destructor = void (*)(PyObject*);
using PyCFunction = PyObject* (*)(PyObject*, PyObject*);
using PyCFunctionWithKeywords = PyObject* (*)(PyObject*, PyObject*, PyObject*);

constexpr int METH_VARARGS = 0x0001;
constexpr int METH_KEYWORDS = 0x0002;

// The same on every host.
struct PyMethodDef {
  const char* ml_name;
  PyCFunction ml_meth;
  int ml_flags;
  const char* ml_doc;
};

struct Py_complex {
  double real;
  double imag;
};

constexpr int kPython2ApiVersion = 1013;
constexpr int kPython3ApiVersion = 3;

// How an exact int keeps its value behind the head: a count word, then
// 30-bit digits held in 32 bits, least significant first. The count word is
// the signed digit count before 3.12 (and on Python 2's long), a tag from
// 3.12 on (digit count above bit 3, sign in the low two bits: 0 positive,
// 1 zero, 2 negative). None: read through the API.
enum class IntDigits : uint8_t { None, SignedCount, Tagged };

struct HostProfile {
  HostKind kind = HostKind::Release;
  // The object head: the count, the type pointer, and the head's size (a
  // variable-size object's item count follows it).
  size_t refOffset = 0;
  size_t typeOffset = 8;
  size_t headSize = 16;
  // CPython 3.12+ leaves a count whose low 32 bits read negative alone
  // (immortal objects); no older CPython reaches such a count. PyPy's own
  // objects carry counts near 2^61 that are counted as usual.
  bool immortalCounts = true;
  // Offsets verified on live objects; 0: read and write through the API.
  size_t tupleItems = 0;  // an exact tuple's items
  size_t listItems = 0;   // the pointer to an exact list's item array
  IntDigits intDigits = IntDigits::None;  // an exact int's (Python 2: long's) value
  bool shortInts = false;                 // Python 2's int: a C long after the head
  // Where the host keeps reference totals (or its own bookkeeping), its
  // exported functions take and drop references; else the count is
  // changed in place.
  void (*hostIncRef)(PyObject*) = nullptr;
  void (*hostDecRef)(PyObject*) = nullptr;
  // The host's exported Py_IncRef and Py_DecRef, whichever way it counts.
  void (*exportedIncRef)(PyObject*) = nullptr;
  void (*exportedDecRef)(PyObject*) = nullptr;
  // The host's own deallocation entry; null: the type's tp_dealloc.
  void (*dealloc)(PyObject*) = nullptr;
  // The size of the host's buffer view record (PyBufferHead is its start).
  size_t bufferSize = 80;
  // Whether an exporter keeps a buffer where it is while the buffer is
  // taken (CPython's refuse to resize meanwhile). PyPy's exporters stay
  // resizable; there only bytes, which never change, count as held.
  bool exportersHoldBuffers = true;
  // Whether an object offering only the old buffer interface (Python 2's
  // array.array and mmap) is read through it.
  bool oldBuffers = false;
  // Whether the host's str is its bytes type (Python 2).
  bool bytesAreStr = false;
  // The array.array typecode of 64-bit integers: 'q', or 'l' where arrays
  // have no 'q' (Python 2).
  char int64Typecode = 'q';
  // Where an array.array keeps the pointer to its items, followed by how
  // many it has room for; a new array may be handed storage from the
  // host's PyMem_Malloc, which it frees as its own. Checked on arrays the
  // host makes at the first use. 0: arrays are made and filled through the
  // API (PyPy's arrays are not host objects of that shape).
  size_t arrayItems = 0;
  // Whether the host reclaims a class nothing refers to. PyPy never does,
  // so there each failure kind's class is made once and kept.
  bool classesCollected = true;
  // Whether a module shows the doc its definition gives; PyPy takes an
  // empty doc for none and shows the module type's own, so it is set after.
  bool moduleShowsDefDoc = true;
  // Set by the first init call: layouts checked, and why the host cannot be
  // served (null when it can).
  bool checked = false;
  const char* refusal = nullptr;
};

extern HostProfile hostProfile;

template <class T>
inline T& hostField(const void* o, size_t offset) {
  return *reinterpret_cast<T*>(const_cast<char*>(static_cast<const char*>(o)) + offset);
}

inline Py_ssize_t& refCount(PyObject* o) { return hostField<Py_ssize_t>(o, hostProfile.refOffset); }
inline PyTypeObject* typeOf(PyObject* o) { return hostField<PyTypeObject*>(o, hostProfile.typeOffset); }
inline Py_ssize_t& varSize(PyObject* o) { return hostField<Py_ssize_t>(o, hostProfile.headSize); }

// A type object is a variable-size object: tp_name follows the item count,
// then tp_basicsize, tp_itemsize and tp_dealloc.
inline const char* typeName(PyTypeObject* t) {
  return hostField<const char*>(t, hostProfile.headSize + 8);
}
inline destructor typeDealloc(PyTypeObject* t) {
  return hostField<destructor>(t, hostProfile.headSize + 32);
}

// Only where the profile has verified the offset.
inline PyObject** tupleItems(PyObject* o) { return &hostField<PyObject*>(o, hostProfile.tupleItems); }
inline PyObject** listItems(PyObject* o) { return hostField<PyObject**>(o, hostProfile.listItems); }

// An exact int's value read in place, where the profile verified how. The
// types are the host's int types, each null where its layout was not
// verified. False for any other object and for a value beyond 64 bits
// signed: the host's API converts or refuses those.
class ExactInts {
 public:
  ExactInts(const HostProfile& p, PyTypeObject* longType, PyTypeObject* intType)
      : longType_(p.intDigits != IntDigits::None ? longType : nullptr),
        intType_(p.shortInts ? intType : nullptr),
        at_(p.headSize),
        tagged_(p.intDigits == IntDigits::Tagged) {}

  // `type` is the object's type, already at hand in the caller's loop.
  [[gnu::always_inline]] bool read(const PyObject* o, const PyTypeObject* type, long long& v) const {
    if (type == longType_) return readDigits(o, v);
    if (type == intType_ && type != nullptr) {
      v = hostField<long>(o, at_);
      return true;
    }
    return false;
  }

 private:
  [[gnu::always_inline]] bool readDigits(const PyObject* o, long long& v) const {
    const uint64_t word = hostField<uint64_t>(o, at_);
    const auto* digit = &hostField<const uint32_t>(o, at_ + 8);
    bool negative;
    uint64_t count;
    if (tagged_) {
      negative = (word & 3) == 2;
      count = word >> 3;
    } else {
      negative = static_cast<int64_t>(word) < 0;
      count = negative ? 0 - word : word;
    }
    uint64_t magnitude;
    if (count <= 2) {
      magnitude = count == 0 ? 0 : digit[0];
      if (count == 2) magnitude |= uint64_t{digit[1]} << 30;
    } else {
      // Three digits hold 90 bits; only a top digit below 16 fits in 64.
      if (count > 3 || digit[2] >= 16) return false;
      magnitude = digit[0] | uint64_t{digit[1]} << 30 | uint64_t{digit[2]} << 60;
      if (magnitude > (negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1)) return false;
    }
    v = static_cast<long long>(negative ? 0 - magnitude : magnitude);
    return true;
  }

  const PyTypeObject* longType_;
  const PyTypeObject* intType_;
  size_t at_;
  bool tagged_;
};

// A module definition as the host reads it: an object head, the three
// words of its base, then the fields below.
struct ModuleDefFields {
  PyObject* (*m_init)();
  Py_ssize_t m_index;
  PyObject* m_copy;
  const char* m_name;
  const char* m_doc;
  Py_ssize_t m_size;
  PyMethodDef* m_methods;
  void* m_slots;
  void* m_traverse;
  void* m_clear;
  void* m_free;
};
static_assert(sizeof(ModuleDefFields) == 88);
inline size_t moduleDefSize() { return hostProfile.headSize + sizeof(ModuleDefFields); }
inline ModuleDefFields& moduleDefFields(void* block) {
  return hostField<ModuleDefFields>(block, hostProfile.headSize);
}

// The start of the host's buffer view record (Py_buffer), the same on every
// host; what follows differs: CPython 3 ends with one pointer (80 bytes in
// all), CPython 2.7 keeps a two-word small table before it (96), PyPy its
// own copies of the format, strides and shape (784).
struct PyBufferHead {
  void* buf;
  PyObject* obj;
  Py_ssize_t len;
  Py_ssize_t itemsize;
  int readonly;
  int ndim;
  char* format;
  Py_ssize_t* shape;
  Py_ssize_t* strides;
  Py_ssize_t* suboffsets;
};
static_assert(sizeof(PyBufferHead) == 72);
constexpr size_t kBufferSizePython3 = 80;
constexpr size_t kBufferSizePython2 = 96;
constexpr size_t kBufferSizePyPy = 784;
constexpr size_t kBufferSizeMax = kBufferSizePyPy;

// Request flags of the new buffer interface.
constexpr int PyBUF_WRITABLE = 0x0001;
constexpr int PyBUF_FORMAT = 0x0004;
constexpr int PyBUF_ND = 0x0008;
constexpr int PyBUF_STRIDES = 0x0010 | PyBUF_ND;

struct PyLib;

// The profile of the host behind `handle`, from its exports and version
// alone: no object is touched. `startOffset`: detectStartOffset's, found
// before the table was loaded.
HostProfile identifyHost(void* handle, const PyLib& lib, uint64_t startOffset);

// The host's module creation functions, under whichever name it exports
// them by (reference-tracing builds and PyPy rename them); null when absent.
using InitModule4 = PyObject* (*)(const char*, PyMethodDef*, const char*, PyObject*, int);
using ModuleCreate2 = PyObject* (*)(void*, int);
InitModule4 findInitModule4(void* handle);
ModuleCreate2 findModuleCreate2(void* handle);

// Checks the profile in use against the host's objects, once (the first
// init call; later calls find it checked): null when the host can be
// served, else why not, as the ImportError's message.
const char* hostRefusal(const PyLib& lib);

// Checks the head and the item offsets of `profile` against a tuple and a
// list the host makes, and its int layouts against ints of known values
// the host makes; offsets and layouts that do not hold are cleared, and so
// is the direct counting when the count is not where expected. False (with
// a reason) when even the type pointer is not where the profile says: the
// module cannot read this host's objects at all.
bool verifyHostLayout(HostProfile& profile, const PyLib& lib, const char*& reason);

}  // namespace pybinding
