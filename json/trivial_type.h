// The leaf kinds: null, and one holder template for the three kinds that
// carry a single plain value.
#pragma once

#include <string>
#include <utility>

#include "json/visitor.h"

namespace json {

class Null {
 public:
  bool operator==(const Null&) const { return true; }
};

// Holds exactly one value; a default-constructed holder holds false, 0.0 or
// the empty string. Strings are bytes as the reader decoded them: no
// character set is assumed.
template <typename ValueType>
class TrivialType_T {
 public:
  TrivialType_T() : m_value() {}
  explicit TrivialType_T(ValueType value) : m_value(std::move(value)) {}

  ValueType& Value() { return m_value; }
  const ValueType& Value() const { return m_value; }

  // The ordinary equality of the value type: doubles by floating-point
  // equality, strings byte for byte with equal length.
  bool operator==(const TrivialType_T& other) const { return m_value == other.m_value; }

 private:
  ValueType m_value;
};

}  // namespace json
