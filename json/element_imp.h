// What an UnknownElement owns: one value of one kind behind an interface, so
// that copying, comparing and visiting need no switch over the kinds.
#pragma once

#include "json/array.h"
#include "json/cast_visitor.h"
#include "json/object.h"
#include "json/trivial_type.h"
#include "json/unknown_element.h"

namespace json {

class UnknownElement::Imp {
 public:
  virtual ~Imp() = default;
  // A new, independent deep copy, owned by the caller.
  virtual Imp* Clone() const = 0;
  // Same kind and equal value.
  virtual bool Compare(const Imp& other) const = 0;
  virtual void Accept(Visitor& visitor) = 0;
  virtual void Accept(ConstVisitor& visitor) const = 0;
};

template <typename ElementType>
class UnknownElement::Imp_T : public Imp {
 public:
  explicit Imp_T(const ElementType& element) : m_element(element) {}

  Imp* Clone() const override { return new Imp_T(*this); }

  bool Compare(const Imp& other) const override {
    ConstCastVisitor_T<ElementType> castVisitor;
    other.Accept(castVisitor);
    return castVisitor.match != nullptr && m_element == *castVisitor.match;
  }

  void Accept(Visitor& visitor) override { visitor.Visit(m_element); }
  void Accept(ConstVisitor& visitor) const override { visitor.Visit(m_element); }

 private:
  ElementType m_element;
};

}  // namespace json
