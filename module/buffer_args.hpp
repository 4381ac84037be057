// The buffer arguments of the array and frame functions: taking each kind
// a function accepts, and the TypeError naming what was expected and what
// came when it is refused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "pybinding/function_table.hpp"
#include "pybinding/int_items.hpp"
#include "pybinding/py_buffer.hpp"

namespace pyvaskor {

using namespace pybinding;

// Sets TypeError; always null.
PyObject* typeError(const std::string& msg);
// Sets ValueError; always null.
PyObject* valueError(const std::string& msg);

// The host lacks an entry the buffer functions need: false with its error set.
bool hostServesArrays(const Call& call);

bool isListOrTuple(PyObject* o);

// `o`'s buffer of integer items in native byte order, C-contiguous.
bool takeIntBuffer(const Call& call, PyObject* o, PyBuffer& buffer, ItemKind& kind);
// Any C-contiguous buffer, read as bytes.
bool takeByteBuffer(const Call& call, PyObject* o, PyBuffer& buffer);
// takeByteBuffer again where Python code ran since and the exporter does
// not hold the buffer.
bool retakeByteBufferIfLoose(const Call& call, PyObject* o, PyBuffer& buffer);
// A writable C-contiguous buffer of integers, or with `int64Only` of 8-byte
// signed integers aligned to 8 bytes, which the array decoders write as
// such; `wanted` names it in the TypeError.
bool takeOutBuffer(const Call& call, PyObject* o, PyBuffer& out, const std::string& wanted,
                   bool int64Only = false);
// The TypeError of an out taken but refused after all.
PyObject* outRefused(const Call& call, const std::string& wanted, const PyBuffer& out);

// A decoder reads its input while it writes out: the two must not share
// bytes. False with ValueError set when they do.
bool outApart(const Call& call, std::span<const uint8_t> input, const PyBuffer& out);
// False with ValueError set when out has room for fewer than `count` items.
bool outHasRoom(const Call& call, uint64_t count, size_t capacity);

}  // namespace pyvaskor
