// The value holder of a document: one element of any of the six kinds.
//
// The only typed access on a modifiable element converts: asking for a kind
// that the element does not hold replaces its value with an empty value of
// that kind. A reply that lacks a field, or sends it with another type, thus
// reads as false, 0.0 or "" instead of failing. Reading without changing the
// document goes through a ConstVisitor.
#pragma once

#include "json/trivial_type.h"
#include "json/visitor.h"

namespace json {

class UnknownElement {
 public:
  // The implementation interface and its one template, one instance per kind
  // (json/element_imp.h).
  class Imp;
  template <typename ElementType>
  class Imp_T;

  // Visitors that find out whether an element holds a given kind
  // (json/cast_visitor.h).
  class CastVisitor;
  template <typename ElementType>
  class CastVisitor_T;
  class ConstCastVisitor;
  template <typename ElementType>
  class ConstCastVisitor_T;

  // Null.
  UnknownElement();
  // Each holds its own copy of the value.
  UnknownElement(const Null& element);
  UnknownElement(const Boolean& element);
  UnknownElement(const String& element);
  UnknownElement(const Number& element);
  UnknownElement(const Object& element);
  UnknownElement(const Array& element);
  // Deep copies.
  UnknownElement(const UnknownElement& other);
  UnknownElement& operator=(const UnknownElement& other);
  ~UnknownElement();

  // Exchanges the held values without copying; never throws.
  void Swap(UnknownElement& other) noexcept;

  // The converting access. Each returns the value now held; an element of
  // another kind is first replaced by false, 0.0, "", null, {} or [], and its
  // old value with everything below it is released. The reference stays valid
  // until the element is destroyed or converted to another kind.
  operator Null&();
  operator Boolean&();
  operator String&();
  operator Number&();
  operator Object&();
  operator Array&();

  void Accept(Visitor& visitor);
  void Accept(ConstVisitor& visitor) const;

  // Same kind and equal value; elements of different kinds are never equal.
  bool operator==(const UnknownElement& other) const;

 private:
  template <typename ElementType>
  ElementType& ConvertTo();

  Imp* m_pImp;  // owned, never null
};

}  // namespace json
