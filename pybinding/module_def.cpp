#include "pybinding/module_def.hpp"

#include <cstdlib>
#include <vector>

#include "pybinding/py_lib.hpp"
#include "vaskor/failure.hpp"

namespace pybinding {

PyModuleDesc* curModuleDef = nullptr;

namespace {

// One per Python 3 init call; never destroyed, so they stay reachable to the end.
auto* moduleDefinitions = new std::vector<void*>();

bool isTerminator(const PyMethodDef& m) {
  return m.ml_name == nullptr && m.ml_meth == nullptr && m.ml_flags == 0 && m.ml_doc == nullptr;
}

void appendMethod(PyModuleDesc& desc, const PyMethodDef& entry) {
  auto& methods = desc.methods;
  if (methods.capacity() < desc.methodCapacity) methods.reserve(desc.methodCapacity);
  vaskor::check(methods.size() < methods.capacity(), "method array is full");
  methods.push_back(entry);
}

// Whether this process's host can be served: a host whose objects cannot
// be read, or one the module cannot count references on, gets an
// ImportError and the process lives on.
bool hostServed() {
  const char* refusal = hostRefusal(*pyLib);
  if (refusal == nullptr) return true;
  if (pyLib->PyErr_Occurred() == nullptr && pyLib->PyExc_ImportError != nullptr)
    pyLib->PyErr_SetString(pyLib->PyExc_ImportError, refusal);
  return false;
}

}  // namespace

void initPythonModuleDesc(PyModuleDesc& desc, const char* name, const char* doc, std::size_t functions) {
  desc.name = name;
  desc.doc = doc;
  desc.methodCapacity = functions + PyModuleDesc::kClosingsKept;
}

void registerMethod(const char* name, const char* doc, PyCFunctionWithKeywords fn) {
  // The host's slot type takes two arguments; METH_KEYWORDS makes it pass three.
  auto meth = reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(fn));
  appendMethod(*curModuleDef, {name, meth, METH_VARARGS | METH_KEYWORDS, doc});
}

void initCommon(PyModuleDesc& desc) {
  loadPyLibFromThisProcess();
  // Every init call closes the array once more. When the storage is full the
  // array is already closed, and growing it would move what the host holds.
  auto& methods = desc.methods;
  bool full = methods.capacity() >= desc.methodCapacity && methods.size() == methods.capacity();
  if (full && !methods.empty() && isTerminator(methods.back())) return;
  appendMethod(desc, PyMethodDef{});
}

void initModule2(PyModuleDesc& desc) {
  initCommon(desc);
  const InitModule4 create = findInitModule4(pyLib->module);
  if (create == nullptr || !hostServed()) return;
  // The module is borrowed from the host's module table.
  PyObject* module = create(desc.name, desc.methods.data(), desc.doc, nullptr, kPython2ApiVersion);
  if (module == nullptr) return;
  initModuleTypes(module, desc);
}

PyObject* initModule3(PyModuleDesc& desc) {
  initCommon(desc);
  const ModuleCreate2 create = findModuleCreate2(pyLib->module);
  if (create == nullptr || !hostServed()) return nullptr;

  // The host keeps pointing at the definition, so it is never freed; the
  // module keeps a pointer too, as the host may drop its own at exit.
  void* block = std::calloc(1, moduleDefSize());
  if (block == nullptr) vaskor::outOfMemoryStop();
  moduleDefinitions->push_back(block);
  refCount(static_cast<PyObject*>(block)) = 1;
  ModuleDefFields& def = moduleDefFields(block);
  def.m_name = desc.name;
  def.m_doc = desc.doc;
  def.m_size = -1;
  def.m_methods = desc.methods.data();

  PyObject* module = create(block, kPython3ApiVersion);
  if (module == nullptr) return nullptr;
  if (!initModuleTypes(module, desc)) {
    decRef(module);
    return nullptr;
  }
  return module;
}

bool initModuleTypes(PyObject* module, PyModuleDesc& desc) {
  vaskor::check(desc.types.empty() && desc.iterators.empty(), "native types are not published by this module");
  if (!hostProfile.moduleShowsDefDoc) {
    if (PyObject* doc = pyLib->PyUnicode_FromString(desc.doc)) {
      pyLib->PyObject_SetAttrString(module, "__doc__", doc);
      decRef(doc);
    }
  }
  PyObject* cls = pyLib->PyErr_NewException("nimpy.NimPyException", nullptr, nullptr);
  if (cls == nullptr) return false;
  pyLib->NimPyException = cls;
  // One reference goes to the module and one stays with the table: a module
  // from a later init call can be dropped while failures still derive from
  // its class.
  incRef(cls);
  pyLib->PyModule_AddObject(module, "NimPyException", cls);
  // A str on every host: Python 2 hosts fill this entry with their own
  // PyString_FromString.
  PyObject* version = pyLib->PyUnicode_FromString(VASKOR_VERSION);
  if (version == nullptr) return false;
  pyLib->PyModule_AddObject(module, "__version__", version);
  return desc.addAttributes == nullptr || desc.addAttributes(module);
}

}  // namespace pybinding
