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
  IntMaker make = intMaker();
  for (size_t k = 0; k < n; ++k, ++filled_) {
    PyObject* item = make(values[k]);
    if (item == nullptr) {
      decRef(list_);
      list_ = nullptr;
      return false;
    }
    if (slots_ != nullptr)
      slots_[filled_] = item;
    else
      pyLib->PyList_SetItem(list_, filled_, item);
  }
  return true;
}

PyObject* ListBuilder::release() {
  PyObject* list = list_;
  list_ = nullptr;
  return list;
}

}  // namespace pyvaskor
