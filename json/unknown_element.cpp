#include "json/unknown_element.h"

#include <utility>

#include "json/element_imp.h"

namespace json {

UnknownElement::UnknownElement() : m_pImp(new Imp_T<Null>(Null())) {}
UnknownElement::UnknownElement(const Null& element) : m_pImp(new Imp_T<Null>(element)) {}
UnknownElement::UnknownElement(const Boolean& element) : m_pImp(new Imp_T<Boolean>(element)) {}
UnknownElement::UnknownElement(const String& element) : m_pImp(new Imp_T<String>(element)) {}
UnknownElement::UnknownElement(const Number& element) : m_pImp(new Imp_T<Number>(element)) {}
UnknownElement::UnknownElement(const Object& element) : m_pImp(new Imp_T<Object>(element)) {}
UnknownElement::UnknownElement(const Array& element) : m_pImp(new Imp_T<Array>(element)) {}

UnknownElement::UnknownElement(const UnknownElement& other) : m_pImp(other.m_pImp->Clone()) {}

UnknownElement& UnknownElement::operator=(const UnknownElement& other) {
  // Clone before releasing: `other` may be this element or lie inside its
  // value (an element assigned one of its own members), and a failed clone
  // must leave the old value in place.
  Imp* copy = other.m_pImp->Clone();
  delete m_pImp;
  m_pImp = copy;
  return *this;
}

UnknownElement::~UnknownElement() { delete m_pImp; }

void UnknownElement::Swap(UnknownElement& other) noexcept { std::swap(m_pImp, other.m_pImp); }

template <typename ElementType>
ElementType& UnknownElement::ConvertTo() {
  CastVisitor_T<ElementType> castVisitor;
  m_pImp->Accept(castVisitor);
  if (castVisitor.match == nullptr) {
    // The empty value is made before the old one is released, so that an
    // allocation failure leaves the element as it was.
    Imp* fresh = new Imp_T<ElementType>(ElementType());
    delete m_pImp;
    m_pImp = fresh;
    m_pImp->Accept(castVisitor);
  }
  return *castVisitor.match;
}

UnknownElement::operator Null&() { return ConvertTo<Null>(); }
UnknownElement::operator Boolean&() { return ConvertTo<Boolean>(); }
UnknownElement::operator String&() { return ConvertTo<String>(); }
UnknownElement::operator Number&() { return ConvertTo<Number>(); }
UnknownElement::operator Object&() { return ConvertTo<Object>(); }
UnknownElement::operator Array&() { return ConvertTo<Array>(); }

void UnknownElement::Accept(Visitor& visitor) { m_pImp->Accept(visitor); }
void UnknownElement::Accept(ConstVisitor& visitor) const { m_pImp->Accept(visitor); }

bool UnknownElement::operator==(const UnknownElement& other) const { return m_pImp->Compare(*other.m_pImp); }

}  // namespace json
