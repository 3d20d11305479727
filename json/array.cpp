#include "json/array.h"

namespace json {

Array::iterator Array::Insert(const UnknownElement& element) {
  m_elements.push_back(element);
  return m_elements.end() - 1;
}

}  // namespace json
