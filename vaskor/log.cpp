// Kept apart from the rest of utils: a static link that never calls it must
// not pull in the C math library.
#include <cmath>

#include "vaskor/utils.hpp"

namespace vaskor {

double log(double x, double base) { return std::log(x) / std::log(base); }

}  // namespace vaskor
