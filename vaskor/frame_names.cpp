// The frame's names, from the one table of them (vaskor/frame_names.h).
#include "vaskor/frame.hpp"

namespace vaskor::frame {

#define VASKOR_NAME_CASE_(c, cxx, byte, name, ...) \
  case E::cxx:                                     \
    return name;

const char* nameOf(ElementType t) {
  using E = ElementType;
  switch (t) { VASKOR_ELEMENT_TYPES(VASKOR_NAME_CASE_) }
  return nullptr;
}

const char* nameOf(Layout l) {
  using E = Layout;
  switch (l) { VASKOR_LAYOUTS(VASKOR_NAME_CASE_) }
  return nullptr;
}

const char* nameOf(Transform t) {
  using E = Transform;
  switch (t) { VASKOR_TRANSFORMS(VASKOR_NAME_CASE_) }
  return nullptr;
}

const char* nameOf(Scheme s) {
  using E = Scheme;
  switch (s) { VASKOR_SCHEMES(VASKOR_NAME_CASE_) }
  return nullptr;
}

#undef VASKOR_NAME_CASE_

}  // namespace vaskor::frame
