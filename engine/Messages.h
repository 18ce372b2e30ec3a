// Every error description the engine writes, in one place and exact to the character (the
// spellings are part of what hosts compare against).
#pragma once

#include <string_view>

namespace qv {

namespace msg {
inline constexpr std::u16string_view kSourcePrefix = u"qvCalcE, ";
inline constexpr std::u16string_view kErrorWord = u"Error ";
inline constexpr std::u16string_view kHasOccured = u" has occured in ";
inline constexpr std::u16string_view kNewLine = u"\r\n";

// compiler and scanner (code 1 to 5)
inline constexpr std::u16string_view kSyntaxError = u"Syntax Error";
inline constexpr std::u16string_view kMissingBrackets = u": Missing brackets";
inline constexpr std::u16string_view kUnknownSymbol = u": Unknown symbol";
inline constexpr std::u16string_view kUnexpectedEnd = u": Unexpected end of expression";
inline constexpr std::u16string_view kMissingDelimiter = u": Missing string delimiter";
inline constexpr std::u16string_view kArrayExpected = u": Array expected, ";
inline constexpr std::u16string_view kUnknownFunction = u"Unknown function";
inline constexpr std::u16string_view kUndefinedVariable = u"Undefined variable";
inline constexpr std::u16string_view kUnknownOperator = u"Unknown operator ";
inline constexpr std::u16string_view kWrongArgCount = u"Wrong number of arguments for ";

// evaluator (codes 5 and 6)
inline constexpr std::u16string_view kArrayElement = u":  Array element";
inline constexpr std::u16string_view kOutOfBounds = u" is out of bounds, value =";
inline constexpr std::u16string_view kDivByZero = u"Div by zero";
inline constexpr std::u16string_view kPowerOf = u") ^ ";  // "(" base ") ^ " exponent
inline constexpr std::u16string_view kCombinations = u"nCr(";
inline constexpr std::u16string_view kPermutations = u"nPr(";

// user functions (codes 8 to 10)
inline constexpr std::u16string_view kTooManyUserFuncs = u"Too Many User Functions";
inline constexpr std::u16string_view kInvalidUserFunc = u"Invalid User Function Definition: ";
inline constexpr std::u16string_view kUserFuncPrefix = u"(User-defined Functions) ";
inline constexpr std::u16string_view kReservedName = u" is a Reserved Name.";
inline constexpr std::u16string_view kReservedUserFunc = u" has already been reserved as a User Function.";
inline constexpr std::u16string_view kInUserFunction = u" in User Function '";
// The strict profile's additions to the texts above.
inline constexpr std::u16string_view kDidYouMean = u" (did you mean ";
inline constexpr std::u16string_view kBodySeesParameters = u" (a function's body sees only its parameters)";

// arrays (codes 10 and 12)
inline constexpr std::u16string_view kBracketExpected = u": '(' expected for array definition.";
inline constexpr std::u16string_view kTooManyDims = u": Too many dimensions for array ";
// The strict profile's reading of an array definition.
inline constexpr std::u16string_view kArrayNeedsName = u"an array needs a name before its bounds";
inline constexpr std::u16string_view kCloseExpected = u": ')' expected after the bounds of the array";
inline constexpr std::u16string_view kBoundLimit = u"an upper bound is a whole number from 0 to 32767, not '";
}  // namespace msg

}  // namespace qv
