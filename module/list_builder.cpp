#include "module/list_builder.hpp"

#include "pybinding/conversion.hpp"
#include "pybinding/py_ref.hpp"

namespace pyvaskor {

using namespace pybinding;

ListBuilder::~ListBuilder() {
  // A list never handed out (a failure cut the decode short) is released;
  // the host frees its unfilled slots with it.
  if (list_ != nullptr) decRef(list_);
}

bool ListBuilder::start(uint64_t count) {
  list_ = pyLib->PyList_New(static_cast<Py_ssize_t>(count));
  if (list_ == nullptr) return false;
  slots_ = newListSlots(list_);
  return true;
}

bool ListBuilder::take(const int64_t* values, size_t n) {
  const IntMaker make = intMaker();
  // Kept in registers across the host's calls.
  PyObject** const slots = slots_;
  Py_ssize_t at = filled_;
  for (size_t k = 0; k < n; ++k, ++at) {
    PyObject* item = make(values[k]);
    if (item == nullptr) {
      decRef(list_);
      list_ = nullptr;
      return false;
    }
    if (slots != nullptr)
      slots[at] = item;
    else
      pyLib->PyList_SetItem(list_, at, item);
  }
  filled_ = at;
  return true;
}

PyObject* ListBuilder::release() {
  PyObject* list = list_;
  list_ = nullptr;
  return list;
}

}  // namespace pyvaskor
