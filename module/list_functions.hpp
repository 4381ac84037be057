// The bodies of the list functions (bpeEncode, neDecode, ...). Each does
// what its codec's encode or decode does, through the parts the codec
// offers for it, so that the result goes straight into Python objects: an
// encoder packs into the bytes object of its result under the width that
// follows the largest value (which the conversion of "a" has worked out on
// the way), a decoder hands each value to the list being built as it is
// unpacked.
#pragma once

#include "pybinding/function_table.hpp"
#include "vaskor/codec.hpp"

namespace pyvaskor {

using pybinding::Call;
using pybinding::PyObject;

PyObject* encoderBody(const Call& call, const vaskor::Codec& codec);
PyObject* decoderBody(const Call& call, const vaskor::Codec& codec);

}  // namespace pyvaskor
