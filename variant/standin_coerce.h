#pragma once
// Host stand-in, internal: conversion of one plain (not by-reference, not array) value
// to another type, following oleaut32's answers value for value.
#include "variant/standin.h"

namespace qv_standin {

HRESULT ValidateType(VARTYPE vt);

// Fills `dest` (raw, not initialised) with `src` converted to `vt`; the caller sets
// dest->vt on success. On failure `dest` holds nothing that needs releasing.
HRESULT Coerce(VARIANT* dest, VARIANT* src, USHORT flags, VARTYPE vt);

}  // namespace qv_standin
