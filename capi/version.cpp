// The version of the library loaded, which a caller compares with the
// VASKOR_VERSION it was compiled against.
#include "vaskor/vaskor.h"

#define VASKOR_STR2(x) #x
#define VASKOR_STR(x) VASKOR_STR2(x)

extern "C" uint32_t vaskor_version(void) { return VASKOR_VERSION; }

extern "C" const char* vaskor_version_string(void) {
  return VASKOR_STR(VASKOR_VERSION_MAJOR) "." VASKOR_STR(VASKOR_VERSION_MINOR) "." VASKOR_STR(VASKOR_VERSION_PATCH);
}
