// The check both codecs make before writing into storage the caller gave
// (private): the whole result must fit, or nothing is written.
#pragma once

#include <cstdint>
#include <string>

#include "vaskor/failure.hpp"

namespace vaskor::detail {

// `what` names the unit ("bytes", "values").
inline void requireRoom(uint64_t needed, uint64_t available, const char* what, Site site = Site::here()) {
  if (available < needed) [[unlikely]]
    raise<ValueError>("output too small: " + std::to_string(needed) + " " + what + " needed, " +
                          std::to_string(available) + " available",
                      site);
}

}  // namespace vaskor::detail
