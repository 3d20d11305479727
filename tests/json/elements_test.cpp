// The value model: the converting access, member lookup and insertion,
// deep copies and equality.
#include "json/elements.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "json/cast_visitor.h"

namespace {

using json::Array;
using json::Boolean;
using json::Null;
using json::Number;
using json::Object;
using json::String;
using json::UnknownElement;

// Names the kind an element holds, without changing it.
std::string KindOf(const UnknownElement& element) {
  struct Namer : json::ConstVisitor {
    std::string kind;
    void Visit(const Null&) override { kind = "null"; }
    void Visit(const Boolean&) override { kind = "boolean"; }
    void Visit(const String&) override { kind = "string"; }
    void Visit(const Number&) override { kind = "number"; }
    void Visit(const Object&) override { kind = "object"; }
    void Visit(const Array&) override { kind = "array"; }
  } namer;
  element.Accept(namer);
  return namer.kind;
}

Object MakeObject(const std::vector<std::pair<std::string, UnknownElement>>& members) {
  Object object;
  for (const auto& [name, element] : members) object.Insert(Object::Member(name, element));
  return object;
}

Array MakeArray(const std::vector<UnknownElement>& elements) {
  Array array;
  for (const auto& element : elements) array.Insert(element);
  return array;
}

TEST(JsonElementTest, DefaultHoldsNullAndConvertingToNullKeepsIt) {
  UnknownElement element;
  EXPECT_EQ(KindOf(element), "null");
  [[maybe_unused]] Null& null = element;
  EXPECT_EQ(KindOf(element), "null");
  EXPECT_EQ(element, UnknownElement(Null()));
}

TEST(JsonElementTest, ConvertingToAnotherKindReplacesTheValueWithThatKindsEmptyValue) {
  using Convert = std::function<UnknownElement(UnknownElement&)>;
  const Convert toBoolean = [](UnknownElement& e) { return UnknownElement(static_cast<Boolean&>(e)); };
  const Convert toNumber = [](UnknownElement& e) { return UnknownElement(static_cast<Number&>(e)); };
  const Convert toString = [](UnknownElement& e) { return UnknownElement(static_cast<String&>(e)); };
  const Convert toObject = [](UnknownElement& e) { return UnknownElement(static_cast<Object&>(e)); };
  const Convert toArray = [](UnknownElement& e) { return UnknownElement(static_cast<Array&>(e)); };
  const Convert toNull = [](UnknownElement& e) { return UnknownElement(static_cast<Null&>(e)); };

  struct Case {
    const char* what;
    UnknownElement held;
    Convert convert;
    UnknownElement expected;
  };
  const std::vector<Case> cases = {
      {"number 5 as boolean", Number(5), toBoolean, Boolean(false)},
      {"number 1 as boolean", Number(1), toBoolean, Boolean(false)},
      {"string \"true\" as boolean", String("true"), toBoolean, Boolean(false)},
      {"string \"123\" as number", String("123"), toNumber, Number(0.0)},
      {"true as string", Boolean(true), toString, String()},
      {"null as number", Null(), toNumber, Number(0.0)},
      {"object with members as array", MakeObject({{"a", Number(1)}}), toArray, Array()},
      {"array with elements as object", MakeArray({Number(1), String("x")}), toObject, Object()},
      {"string as null", String("x"), toNull, Null()},
      {"number 5 as number", Number(5), toNumber, Number(5)},
      {"string as string", String("keep"), toString, String("keep")},
      {"object as object", MakeObject({{"a", Null()}}), toObject, MakeObject({{"a", Null()}})},
  };
  for (const Case& c : cases) {
    UnknownElement element = c.held;
    EXPECT_EQ(c.convert(element), c.expected) << c.what << ": returned value";
    EXPECT_EQ(element, c.expected) << c.what << ": value now held";
  }
}

TEST(JsonElementTest, TheValueLostInAConversionDoesNotComeBack) {
  UnknownElement element = Number(5);
  EXPECT_FALSE(static_cast<Boolean&>(element).Value());
  EXPECT_EQ(static_cast<Number&>(element).Value(), 0.0);
}

TEST(JsonElementTest, ConvertingToTheHeldKindReturnsTheSameModifiableValue) {
  UnknownElement element = Number(2.5);
  Number& first = element;
  Number& second = element;
  EXPECT_EQ(&first, &second);
  first.Value() = 7;
  EXPECT_EQ(element, UnknownElement(Number(7)));

  UnknownElement holder = Object();
  static_cast<Object&>(holder)["k"] = String("v");
  EXPECT_EQ(holder, UnknownElement(MakeObject({{"k", String("v")}})));
}

TEST(JsonElementTest, VisitorsReachTheHeldValue) {
  UnknownElement element = Number(1);

  UnknownElement::CastVisitor_T<String> asString;
  element.Accept(asString);
  EXPECT_EQ(asString.match, nullptr);

  UnknownElement::CastVisitor_T<Number> asNumber;
  element.Accept(asNumber);
  ASSERT_NE(asNumber.match, nullptr);
  asNumber.match->Value() = 3;

  const UnknownElement& readOnly = element;
  UnknownElement::ConstCastVisitor_T<Number> constAsNumber;
  readOnly.Accept(constAsNumber);
  ASSERT_NE(constAsNumber.match, nullptr);
  EXPECT_EQ(constAsNumber.match->Value(), 3);
  EXPECT_EQ(KindOf(element), "number");
}

TEST(JsonObjectTest, SubscriptOfAMissingNameAppendsOneNullMember) {
  Object object;
  Boolean& result = object["result"];
  EXPECT_FALSE(result.Value());
  ASSERT_EQ(object.Size(), 1u);
  EXPECT_EQ(object.Begin()->name, "result");
  EXPECT_EQ(object.Begin()->element, UnknownElement(Boolean(false)));

  // The second lookup finds the first member.
  EXPECT_EQ(&object["result"], &object.Begin()->element);
  EXPECT_EQ(object.Size(), 1u);

  object["other"];
  EXPECT_EQ(object.Size(), 2u);
  EXPECT_EQ(KindOf(object["other"]), "null");
}

TEST(JsonObjectTest, NamesMatchOnlyByExactBytes) {
  const std::string withNul("a\0b", 3);
  Object object = MakeObject({{"a", Number(1)}, {"A", Number(2)}, {"ab", Number(3)}, {withNul, Number(4)}});
  EXPECT_EQ(object.Size(), 4u);
  for (const std::string& name : {std::string("a"), std::string("A"), std::string("ab"), withNul}) {
    auto found = object.Find(name);
    ASSERT_NE(found, object.End()) << name;
    EXPECT_EQ(found->name, name);
  }
  for (const std::string& name : {std::string(), std::string("b"), std::string("a\0", 2), std::string("AB")})
    EXPECT_EQ(object.Find(name), object.End()) << name;
}

TEST(JsonObjectTest, InsertKeepsOrderAndRejectsARepeatedNameLeavingTheObjectUnchanged) {
  Object object;
  object.Insert(Object::Member("a", Number(1)));
  auto c = object.Insert(Object::Member("c", Number(3)));
  auto b = object.Insert(Object::Member("b", Number(2)), c);
  EXPECT_EQ(b->name, "b");
  std::vector<std::string> names;
  for (const auto& member : object) names.push_back(member.name);
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b", "c"}));

  const Object before = object;
  const Object::Member repeated("a", Number(9));
  try {
    object.Insert(repeated);
    FAIL() << "copying insert accepted a repeated name";
  } catch (const json::Exception& e) {
    EXPECT_STREQ(e.what(), "Object member already exists: a");
  }
  Object::Member moved("b", String("new"));
  EXPECT_THROW(object.Insert(std::move(moved), object.Begin()), json::Exception);
  EXPECT_EQ(moved.name, "b");
  EXPECT_EQ(moved.element, UnknownElement(String("new")));
  EXPECT_EQ(object, before);
}

TEST(JsonEqualityTest, SameKindOrderAndValues) {
  struct Case {
    const char* what;
    UnknownElement left;
    UnknownElement right;
    bool equal;
  };
  const std::vector<Case> cases = {
      {"members in another order", MakeObject({{"a", Number(1)}, {"b", Number(2)}}),
       MakeObject({{"b", Number(2)}, {"a", Number(1)}}), false},
      {"1 and 1.0", MakeObject({{"a", Number(1)}}), MakeObject({{"a", Number(1.0)}}), true},
      {"arrays of other lengths", MakeArray({Number(1), Number(2)}), MakeArray({Number(1), Number(2), Number(3)}),
       false},
      {"arrays in another order", MakeArray({Number(1), Number(2)}), MakeArray({Number(2), Number(1)}), false},
      {"null and false", Null(), Boolean(false), false},
      {"null and null", Null(), Null(), true},
      {"0 and false", Number(0), Boolean(false), false},
      {"empty object and empty array", Object(), Array(), false},
      {"strings of other lengths", String(std::string("a\0", 2)), String("a"), false},
      {"strings differing in case", String("a"), String("A"), false},
      {"names differing in case", MakeObject({{"a", Null()}}), MakeObject({{"A", Null()}}), false},
      {"nested documents", MakeObject({{"x", MakeArray({MakeObject({{"y", Boolean(true)}}), String("s")})}}),
       MakeObject({{"x", MakeArray({MakeObject({{"y", Boolean(true)}}), String("s")})}}), true},
      {"nested documents, one leaf differs",
       MakeObject({{"x", MakeArray({MakeObject({{"y", Boolean(true)}})})}}),
       MakeObject({{"x", MakeArray({MakeObject({{"y", Boolean(false)}})})}}), false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.left == c.right, c.equal) << c.what;
    EXPECT_EQ(c.right == c.left, c.equal) << c.what << " (swapped)";
  }
}

TEST(JsonCopyTest, CopiesShareNothingWithTheSource) {
  const UnknownElement source = MakeObject({{"list", MakeArray({MakeObject({{"n", Number(1)}})})}});

  UnknownElement copied(source);
  UnknownElement assigned;
  assigned = source;
  for (UnknownElement* copy : {&copied, &assigned}) {
    EXPECT_EQ(*copy, source);
    Object& top = *copy;
    Array& list = top["list"];
    Object& inner = *list.Begin();
    inner["n"] = Number(2);
    inner["added"];
    EXPECT_NE(*copy, source);
  }
  EXPECT_EQ(source, UnknownElement(MakeObject({{"list", MakeArray({MakeObject({{"n", Number(1)}})})}})));
}

TEST(JsonCopyTest, AnElementCanBeAssignedItselfOrOneOfItsOwnMembers) {
  UnknownElement element = MakeObject({{"child", MakeArray({String("kept")})}});
  const UnknownElement original = element;
  UnknownElement& self = element;
  element = self;
  EXPECT_EQ(element, original);

  // The member lives inside the value that the assignment replaces.
  element = static_cast<Object&>(element)["child"];
  EXPECT_EQ(element, UnknownElement(MakeArray({String("kept")})));
}

}  // namespace
