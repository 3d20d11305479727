// Visitors that answer "does this element hold a K?" and, if so, where.
#pragma once

#include <type_traits>

#include "json/unknown_element.h"

namespace json {

class UnknownElement::CastVisitor : public Visitor {};

// `match` points at the visited value when it is a K and stays null for the
// five other kinds.
template <typename ElementType>
class UnknownElement::CastVisitor_T : public CastVisitor {
 public:
  ElementType* match = nullptr;

  void Visit(Null& element) override { Take(element); }
  void Visit(Boolean& element) override { Take(element); }
  void Visit(String& element) override { Take(element); }
  void Visit(Number& element) override { Take(element); }
  void Visit(Object& element) override { Take(element); }
  void Visit(Array& element) override { Take(element); }

 private:
  template <typename Visited>
  void Take(Visited& element) {
    if constexpr (std::is_same_v<Visited, ElementType>) match = &element;
  }
};

class UnknownElement::ConstCastVisitor : public ConstVisitor {};

template <typename ElementType>
class UnknownElement::ConstCastVisitor_T : public ConstCastVisitor {
 public:
  const ElementType* match = nullptr;

  void Visit(const Null& element) override { Take(element); }
  void Visit(const Boolean& element) override { Take(element); }
  void Visit(const String& element) override { Take(element); }
  void Visit(const Number& element) override { Take(element); }
  void Visit(const Object& element) override { Take(element); }
  void Visit(const Array& element) override { Take(element); }

 private:
  template <typename Visited>
  void Take(const Visited& element) {
    if constexpr (std::is_same_v<Visited, ElementType>) match = &element;
  }
};

}  // namespace json
