// The array store (ArrayStore.h).
//
//   definition = name "(" [bound] {"," [bound]} [")"] [anything]
#include <algorithm>

#include "engine/Messages.h"
#include "engine/DecimalReader.h"
#include "engine/compile/Scanner.h"
#include "engine/stores/ArrayStore.h"
#include "engine/stores/ItemPosition.h"

namespace qv {

namespace {

// The most elements one array may have: 2^27 doubles, 1 GiB. A definition of a few characters
// must not be able to ask for more (four bounds of 32767 would ask for about 1.15e18); a larger
// one is refused as out of memory before anything is allocated.
constexpr int64_t kMaxArrayElements = int64_t(1) << 27;
constexpr int32_t kMaxBound = INT16_MAX;  // the largest upper bound a dimension can hold

// A bound read the way Val reads a number: blanks (and tabs and line breaks) anywhere are
// ignored, reading stops at the first character that cannot belong to the number, and no number
// reads as 0. Rounded halves to even; a number outside the 16-bit range gives 0.
int16_t ReadBound(std::u16string_view rest) {
  std::u16string packed;
  for (char16_t c : rest)
    if (c != u' ' && c != u'\t' && c != u'\r' && c != u'\n') packed += c;
  const DecimalPrefix number = ReadDecimalPrefix(packed, true);
  const double bound = RoundHalfEven(number.Value);
  return !number.Overflow && bound >= INT16_MIN && bound <= INT16_MAX ? int16_t(bound) : 0;
}

// Up to four bounds into Dims(1..4), each up to the next comma; false when a comma follows the
// fourth (a fifth dimension). The closing bracket is not looked for: A(3, A(3) and A(3)x agree.
bool ReadBounds(std::u16string_view rest, std::array<int16_t, 5>& dims, int16_t& numDims) {
  for (numDims = 1; numDims <= 4; ++numDims) {
    const size_t comma = rest.find(u',');
    dims[size_t(numDims)] = ReadBound(rest.substr(0, comma));
    if (comma == std::u16string_view::npos) return true;
    rest.remove_prefix(comma + 1);
  }
  return false;
}

// The element count of bounds Dims(1..n). An array with a negative bound gets no storage at all:
// every access to it then lies outside its (empty) storage.
int64_t ElementCount(const std::array<int16_t, 5>& dims, int16_t numDims) {
  int64_t count = 1;
  for (int16_t k = 1; k <= numDims; ++k) {
    if (dims[size_t(k)] < 0) return 0;
    count *= int64_t(dims[size_t(k)]) + 1;  // at most 32768^4 = 2^60
  }
  return count;
}

// Subscripts beyond NumDims are ignored; an array with no dimension (left by SetArrayValues)
// has no element to address.
bool WithinUpperBounds(const ArrayEntry& entry, const std::array<int32_t, 4>& subscripts) {
  if (entry.NumDims < 1 || entry.NumDims > 4) return false;
  for (int16_t k = 1; k <= entry.NumDims; ++k)
    if (subscripts[size_t(k - 1)] > entry.Dims[size_t(k)]) return false;
  return true;
}

}  // namespace

// The strict profile reads a definition as it is meant: a name, then "(" and up to four whole
// numbers from 0 to kMaxBound separated by commas, then ")". The compatible reading would take
// 32768 as 0, give -1 an array without storage and take "S(3" for "S(3)"; these are refused
// here (code 12), with the limit in the message. Too many bounds are left to that reading.
bool ArrayStore::BoundsRefused(std::u16string_view Name, std::u16string_view Rest) {
  const std::u16string_view inside = TrimSpaces(Rest);
  if (Name.empty()) return errors_.Set(12, std::u16string(msg::kArrayNeedsName)), true;
  if (inside.empty() || inside.back() != u')')
    return errors_.Set(12, std::u16string(Name).append(msg::kCloseExpected)), true;
  std::u16string_view list = inside.substr(0, inside.size() - 1);
  for (int k = 1; k <= 4; ++k) {
    const size_t comma = list.find(u',');
    const std::u16string_view bound = TrimSpaces(list.substr(0, comma));
    int32_t value = 0;
    bool whole = !bound.empty() && bound.size() <= 5;
    for (char16_t c : bound) {
      whole = whole && c >= u'0' && c <= u'9';
      if (whole) value = value * 10 + (c - u'0');  // five digits at most: no overflow
    }
    if (!whole || value > kMaxBound)
      return errors_.Set(12, std::u16string(msg::kBoundLimit).append(bound).append(u"'")), true;
    if (comma == std::u16string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
  return false;
}

void ArrayStore::Clear() {
  count_ = 0;
  arrays_.resize(1);
}

int16_t ArrayStore::Store(ArrayEntry Entry) {
  arrays_.resize(size_t(count_) + 1);
  arrays_.push_back(std::move(Entry));
  return ++count_;
}

int16_t ArrayStore::ArrayDims(int Slot) const {
  return Slot <= count_ && size_t(Slot) < arrays_.size() ? arrays_[size_t(Slot)].NumDims : 0;
}

int16_t ArrayStore::FindArray(std::u16string_view Name) const {
  for (int16_t slot = 1; slot <= count_ && size_t(slot) < arrays_.size(); ++slot)
    if (EqualNoCase(arrays_[size_t(slot)].Name, Name)) return slot;
  return 0;
}

// A new name takes the next slot. The count is a 16-bit number: a 32768th array is refused as
// an overflow rather than written over the last one.
int16_t ArrayStore::ArraySlotFor(std::u16string_view Name) {
  if (int16_t slot = FindArray(Name)) return slot;
  if (count_ == INT16_MAX) RaiseRuntimeError(kErrOverflow);
  arrays_.resize(size_t(count_) + 2);  // keeps the earlier slots
  return ++count_;
}

int64_t ArrayStore::ElementOffset(const ArrayEntry& Entry, const std::array<int32_t, 4>& Subscripts) {
  if (!WithinUpperBounds(Entry, Subscripts)) return -1;
  int64_t offset = 0;
  for (int16_t k = Entry.NumDims; k >= 1; --k) {
    const int32_t subscript = Subscripts[size_t(k - 1)];
    if (subscript < 0) return -1;
    offset = offset * (int64_t(Entry.Dims[size_t(k)]) + 1) + subscript;
  }
  return offset < int64_t(Entry.Values.size()) ? offset : -1;
}

// Defines or redefines an array from a text such as Grid(3, 4); every element starts at 0.
// Malformed definitions set error 12. An array too large to store is refused as out of memory
// and reported under "DefineArray" (failing silently would pass for a definition that worked);
// the store is then unchanged. An empty name, as in "(3)", is accepted like any other.
void ArrayStore::DefineArray(std::u16string& Definition) {
  errors_.Guarded(u"DefineArray", [&] {
    const std::u16string text = StripComments(errors_, Definition);
    const size_t bracket = text.find(u'(');
    if (bracket == std::u16string::npos) {
      errors_.Set(12, text + std::u16string(msg::kBracketExpected));
      return;
    }
    std::u16string name(TrimSpaces(std::u16string_view(text).substr(0, bracket)));
    if (strict_ && BoundsRefused(name, std::u16string_view(text).substr(bracket + 1))) return;
    std::array<int16_t, 5> dims{};
    int16_t numDims = 0;
    if (!ReadBounds(std::u16string_view(text).substr(bracket + 1), dims, numDims)) {
      errors_.Set(12, name + std::u16string(msg::kTooManyDims));
      return;
    }
    const int64_t count = ElementCount(dims, numDims);
    if (count > kMaxArrayElements) RaiseRuntimeError(kErrOutOfMemory);
    std::vector<double> values(size_t(count), 0.0);  // before any change to the store
    ArrayEntry& entry = arrays_[size_t(ArraySlotFor(name))];
    entry.Name = std::move(name);
    entry.NumDims = numDims;
    entry.Dims = dims;
    entry.Values = std::move(values);
  });
}

// Defines or redefines an array from a host's block of doubles. The name is kept exactly as
// passed. Bounds the block does not have keep their old entries; bounds beyond 16 bits give 0.
// The elements are copied before anything changes, so exhausted memory (reported under
// "SetArrayValues") leaves the store as it was.
void ArrayStore::SetArrayValues(const Variant& Name, uint8_t NumDims, const qvArrayValues& Values) {
  errors_.Guarded(u"SetArrayValues", [&] {
    std::u16string name = Name.toText();
    if (NumDims >= 5) {
      errors_.Set(10, name + std::u16string(msg::kTooManyDims));
      return;
    }
    std::vector<double> copy;
    if (NumDims >= 1) copy = Values.Values;
    ArrayEntry& entry = arrays_[size_t(ArraySlotFor(name))];
    entry.Name = std::move(name);
    entry.NumDims = NumDims;
    for (size_t k = 1; k <= NumDims && k <= Values.UpperBounds.size(); ++k) {
      const int32_t upper = Values.UpperBounds[k - 1];
      entry.Dims[k] = upper >= INT16_MIN && upper <= INT16_MAX ? int16_t(upper) : 0;
    }
    if (NumDims >= 1) entry.Values = std::move(copy);  // with no dimension the old elements stay
  });
}

// A name not stored gives slot 0 and leaves NumDims and Bounds as they were.
void ArrayStore::GetArrayDetails(const std::u16string& Name, int16_t& Slot, int16_t& NumDims,
                                   std::vector<int16_t>& Bounds) {
  errors_.Guarded(u"GetArrayDetails", [&] {
    Slot = 0;
    const int16_t slot = FindArray(Name);
    if (slot == 0) return;
    const ArrayEntry& entry = arrays_[size_t(slot)];
    Bounds.assign(entry.Dims.begin(), entry.Dims.end());
    NumDims = entry.NumDims;
    Slot = slot;
  });
}

// Writes one element. Slots out of range and subscripts above a bound do nothing; a negative
// subscript, or one outside an array without matching storage, is a subscript failure, and a
// value that is no number a type mismatch, both reported under "ArrayValue".
void ArrayStore::ArrayValue(int16_t Slot, const Variant& Value, int16_t S1, int16_t S2,
                              int16_t S3, int16_t S4) {
  errors_.Guarded(u"ArrayValue", [&] {
    if (Slot < 1 || Slot > count_) return;
    ArrayEntry& entry = arrays_[size_t(Slot)];
    const std::array<int32_t, 4> subscripts{S1, S2, S3, S4};
    if (!WithinUpperBounds(entry, subscripts)) return;
    double x = 0;
    if (!Value.toNumber(x)) RaiseRuntimeError(kErrTypeMismatch);
    const int64_t offset = ElementOffset(entry, subscripts);
    if (offset < 0) RaiseRuntimeError(kErrSubscript);
    entry.Values[size_t(offset)] = x;
  });
}

// Reads one element as a double; the 16-bit integer 0 when there is none. A negative subscript
// (or one outside mismatched storage) is reported under "GetArrayValue".
Variant ArrayStore::GetArrayValue(int16_t Slot, int16_t S1, int16_t S2, int16_t S3, int16_t S4) {
  Variant result(int16_t(0));
  errors_.Guarded(u"GetArrayValue", [&] {
    if (Slot < 1 || Slot > count_) return;
    const ArrayEntry& entry = arrays_[size_t(Slot)];
    const std::array<int32_t, 4> subscripts{S1, S2, S3, S4};
    if (!WithinUpperBounds(entry, subscripts)) return;
    const int64_t offset = ElementOffset(entry, subscripts);
    if (offset < 0) RaiseRuntimeError(kErrSubscript);
    result = entry.Values[size_t(offset)];
  });
  return result;
}

std::u16string ArrayStore::ArrayName(const Variant& Slot) {
  std::u16string name;
  errors_.Guarded(u"ArrayName", [&] {
    if (int32_t slot = ItemPosition(Slot, count_)) name = arrays_[size_t(slot)].Name;
  });
  return name;
}

// Name(d1, d2, ...) with the upper bounds, for messages: Grid(3, 4).
std::u16string ArrayStore::ArrayNameWithDims(const Variant& Slot) {
  std::u16string text;
  errors_.Guarded(u"ArrayNameWithDims$", [&] {
    const int32_t slot = ItemPosition(Slot, count_);
    if (slot == 0) return;
    const ArrayEntry& entry = arrays_[size_t(slot)];
    text = entry.Name + u"(";
    for (int16_t k = 1; k <= entry.NumDims && k <= 4; ++k)
      text.append(k > 1 ? u", " : u"").append(WholeToText(entry.Dims[size_t(k)]));
    text += u")";
  });
  return text;
}

}  // namespace qv
