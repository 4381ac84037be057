// The frame functions' options as Python gives them: layouts and transforms
// by the names of the frame's one table of them, and the start and stop of a
// range decode as Python slices take them.
#pragma once

#include <cstdint>
#include <string>

#include "pybinding/function_table.hpp"
#include "vaskor/frame.hpp"

namespace pyvaskor {

using namespace pybinding;

// layout (parameter i) and transform (parameter j): a str naming one, or
// not given or None for 'bpe' and the layout's own transform ('auto' for
// 'blocked', else 'for'). False with the error set.
bool frameOptions(const Call& call, int64_t i, int64_t j, vaskor::frame::Options& options);

// start (parameter i) and stop (j) of `count` values: ints or None, taken as
// a slice with step 1 takes them. False with the error set.
bool frameRange(const Call& call, int64_t i, int64_t j, uint64_t count, uint64_t& start, uint64_t& stop);

// "int8" ... "uint64".
std::string dtypeName(vaskor::frame::ElementType type);

}  // namespace pyvaskor
