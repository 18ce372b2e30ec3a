// The tiers that can run a compiled expression, from the most general to the fastest. Every tier
// gives the same value, kind and recorded failure; a faster one declines, and hands the
// evaluation down, wherever it could differ.
#pragma once

#include <cstdint>

enum class qvTier : uint8_t {
  General = 0,    // the general loop over the postfix instructions: every expression
  AllDouble = 1,  // the all-double register program: numeric expressions over doubles
  Native = 2,     // machine code generated from the all-double program, where the build has it
};
