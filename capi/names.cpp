// The names of the frame's vocabulary through the C interface, and the C
// enums checked against the C++ ones: both are made from one table, and a
// change to either side's spelling of it fails here.
#include "capi/guard.hpp"
#include "vaskor/frame.hpp"

namespace fr = vaskor::frame;

#define VASKOR_SAME_VALUE_(c, cxx, byte, ...) \
  static_assert(static_cast<int>(E::cxx) == static_cast<int>(VASKOR_##c) && static_cast<int>(E::cxx) == byte);
namespace check_types { using E = fr::ElementType; VASKOR_ELEMENT_TYPES(VASKOR_SAME_VALUE_) }
namespace check_layouts { using E = fr::Layout; VASKOR_LAYOUTS(VASKOR_SAME_VALUE_) }
namespace check_transforms { using E = fr::Transform; VASKOR_TRANSFORMS(VASKOR_SAME_VALUE_) }
#undef VASKOR_SAME_VALUE_
#define VASKOR_SAME_SCHEME_(c, cxx, byte, ...) \
  static_assert(static_cast<int>(fr::Scheme::cxx) == static_cast<int>(VASKOR_SCHEME_##c));
VASKOR_SCHEMES(VASKOR_SAME_SCHEME_)
#undef VASKOR_SAME_SCHEME_
static_assert(VASKOR_FRAME_HEADER_SIZE == fr::kHeaderSize && VASKOR_FRAME_VERSION == fr::kVersion &&
              VASKOR_BLOCK_VALUES == fr::kBlockValues && VASKOR_SCHEME_MAX == fr::kSchemeMax);

extern "C" const char* vaskor_type_name(vaskor_type type) { return fr::nameOf(static_cast<fr::ElementType>(type)); }
extern "C" const char* vaskor_layout_name(vaskor_layout layout) { return fr::nameOf(static_cast<fr::Layout>(layout)); }
extern "C" const char* vaskor_transform_name(vaskor_transform transform) {
  return fr::nameOf(static_cast<fr::Transform>(transform));
}
extern "C" const char* vaskor_scheme_name(vaskor_scheme scheme) { return fr::nameOf(static_cast<fr::Scheme>(scheme)); }
