// Double dispatch over the six element kinds. The order of the Visit slots is
// fixed: null, boolean, string, number, object, array.
#pragma once

#include <string>

namespace json {

class Null;
template <typename ValueType>
class TrivialType_T;
using Boolean = TrivialType_T<bool>;
using Number = TrivialType_T<double>;
using String = TrivialType_T<std::string>;
class Object;
class Array;

class Visitor {
 public:
  virtual ~Visitor() = default;
  virtual void Visit(Null& element) = 0;
  virtual void Visit(Boolean& element) = 0;
  virtual void Visit(String& element) = 0;
  virtual void Visit(Number& element) = 0;
  virtual void Visit(Object& element) = 0;
  virtual void Visit(Array& element) = 0;
};

class ConstVisitor {
 public:
  virtual ~ConstVisitor() = default;
  virtual void Visit(const Null& element) = 0;
  virtual void Visit(const Boolean& element) = 0;
  virtual void Visit(const String& element) = 0;
  virtual void Visit(const Number& element) = 0;
  virtual void Visit(const Object& element) = 0;
  virtual void Visit(const Array& element) = 0;
};

}  // namespace json
