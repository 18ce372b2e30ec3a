// Compiles one text as the next expression of an engine, evaluates it and takes the outcome: the
// value and the error state after the evaluation. Shared by the evaluator's test files.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "engine/qvExpression.h"

struct Outcome {
  Variant value;
  int32_t code;
  std::u16string description;
};

inline Outcome Evaluated(qvExpression& e, std::u16string text) {
  int16_t index = 0;
  e.Compile(text, index);
  EXPECT_EQ(e.ErrorCode(), 0) << "compiling";
  int32_t which = 0;
  Variant v = e.Value(which);
  return {v, e.ErrorCode(), e.ErrorDescription()};
}

inline Outcome Evaluated(std::u16string text) {
  qvExpression e;
  return Evaluated(e, std::move(text));
}
