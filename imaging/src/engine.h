// The engine calls the control forwards to. The control links the engine normally: a call the
// engine does not export fails the control's link, not a member at run time.
#pragma once

#include <cstdint>

// The interface first: the engine headers define macros of the same names as its enumerators.
#include "rastrel3.h"
// clang-format off
#include "rastcore3.h"
#include "rastcore3_ops.h"
// clang-format on
