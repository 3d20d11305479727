// A JSON array: elements in order, appended at the end.
#pragma once

#include <cstddef>
#include <deque>

#include "json/unknown_element.h"

namespace json {

class Array {
 public:
  // A deque keeps references to earlier elements valid while more are
  // appended, so an element can be filled in place after it was added.
  using Elements = std::deque<UnknownElement>;
  using iterator = Elements::iterator;
  using const_iterator = Elements::const_iterator;

  iterator Begin() { return m_elements.begin(); }
  iterator End() { return m_elements.end(); }
  const_iterator Begin() const { return m_elements.begin(); }
  const_iterator End() const { return m_elements.end(); }
  iterator begin() { return m_elements.begin(); }
  iterator end() { return m_elements.end(); }
  const_iterator begin() const { return m_elements.begin(); }
  const_iterator end() const { return m_elements.end(); }
  std::size_t Size() const { return m_elements.size(); }
  bool Empty() const { return m_elements.empty(); }

  // Appends a copy at the end and returns its position.
  iterator Insert(const UnknownElement& element);

  // Same count and pairwise equal elements in order.
  bool operator==(const Array& other) const { return m_elements == other.m_elements; }

 private:
  Elements m_elements;
};

}  // namespace json
