// The reader on real text: what it builds, the token ranges it counts, and
// the exact message and position of every way the input can be malformed.
#include "json/reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

namespace {

using json::Array;
using json::Boolean;
using json::Null;
using json::Number;
using json::Object;
using json::Reader;
using json::String;
using json::UnknownElement;

using Pos = std::tuple<int, int, int>;  // line, column, offset

Pos P(const Reader::Position& p) { return Pos(p.line, p.column, p.offset); }

Object ReadText(const std::string& text) {
  std::istringstream input(text);
  Object object;
  Reader::Read(object, input);
  return object;
}

Reader::Tokens ScanText(const std::string& text, const Reader::Position& start = Reader::Position()) {
  std::istringstream input(text);
  Reader::CharCursor chars(input, start);
  return Reader::Scan(chars);
}

TEST(JsonReaderTest, BuildsEveryKindInDocumentOrder) {
  const Object read = ReadText(
      "{\"result\":true,\"isupdate\":false,\"new_ver\":\"1.2.0\",\"size\":1048576,"
      "\"url\":\"http://h/pkg.zip\",\"list\":[1,-2.5,\"s\",null,[],{}],\"nested\":{\"a\":{\"b\":[true]}},"
      "\"none\":null}");

  Object expected;
  expected["result"] = Boolean(true);
  expected["isupdate"] = Boolean(false);
  expected["new_ver"] = String("1.2.0");
  expected["size"] = Number(1048576);
  expected["url"] = String("http://h/pkg.zip");
  Array& list = expected["list"];
  for (const UnknownElement& e : {UnknownElement(Number(1)), UnknownElement(Number(-2.5)), UnknownElement(String("s")),
                                  UnknownElement(Null()), UnknownElement(Array()), UnknownElement(Object())})
    list.Insert(e);
  Object& a = static_cast<Object&>(expected["nested"])["a"];
  static_cast<Array&>(a["b"]).Insert(Boolean(true));
  expected["none"];

  EXPECT_TRUE(read == expected);
}

TEST(JsonReaderTest, AnEmptyObjectWithWhitespaceAnywhere) {
  for (const char* text : {"{}", " \t\r\n\v\f{ \n\t}\r\n ", "\n{}\n"}) {
    EXPECT_TRUE(ReadText(text).Empty()) << text;
  }
}

TEST(JsonReaderTest, StringsAreDecodedToBytes) {
  const struct {
    const char* what;
    std::string literal;  // as written between the quotes
    std::string value;
  } cases[] = {
      {"plain", "abc", "abc"},
      {"empty", "", ""},
      {"escaped solidus", "a\\/b", "a/b"},
      {"escaped tab", "\\t", "\x09"},
      {"every escape", "\\\"\\\\\\/\\b\\f\\n\\r\\t", "\"\\/\b\f\n\r\t"},
      {"raw line feed", "line\nnext", "line\nnext"},
      {"raw control bytes", std::string("\x01\x1f\t\0", 4), std::string("\x01\x1f\t\0", 4)},
      {"UTF-8 text", "\xe6\x9b\xb4\xe6\x96\xb0 ok", "\xe6\x9b\xb4\xe6\x96\xb0 ok"},
      {"bytes that are no UTF-8", "\xff\x80", "\xff\x80"},
  };
  for (const auto& c : cases) {
    Object read = ReadText("{\"k\":\"" + c.literal + "\"}");
    EXPECT_EQ(static_cast<String&>(read["k"]).Value(), c.value) << c.what;
    EXPECT_EQ(read.Size(), 1u) << c.what;
  }
}

TEST(JsonReaderTest, NumbersOfEveryAcceptedShape) {
  const struct {
    const char* text;
    double value;
  } cases[] = {
      {"0", 0.0},        {"-5", -5.0},        {"1e2", 100.0},          {"1E+2", 100.0}, {"2.5e-1", 0.25},
      {"0012", 12.0},    {"-0.5e1", -5.0},    {"1.", 1.0},             {"-0", 0.0},     {"1048576.9", 1048576.9},
      {"1e-400", 0.0},   {"1.7976931348623157e308", std::numeric_limits<double>::max()},
  };
  for (const auto& c : cases) {
    Object read = ReadText(std::string("{\"n\":") + c.text + "}");
    EXPECT_EQ(static_cast<Number&>(read["n"]).Value(), c.value) << c.text;
  }
}

TEST(JsonReaderTest, TokensCarryTheirKindTextAndRange) {
  struct Expected {
    Reader::TokenKind kind;
    std::string text;
    Pos begin;
    Pos end;
  };
  using K = Reader::TokenKind;
  const struct {
    std::string input;
    std::vector<Expected> tokens;
  } cases[] = {
      {"{\"a\":1}",
       {{K::ObjectOpen, "{", {0, 0, 0}, {0, 1, 1}},
        {K::StringValue, "a", {0, 1, 1}, {0, 4, 4}},
        {K::Colon, ":", {0, 4, 4}, {0, 5, 5}},
        {K::NumberValue, "1", {0, 5, 5}, {0, 6, 6}},
        {K::ObjectClose, "}", {0, 6, 6}, {0, 7, 7}}}},
      // A line feed inside a string counts a line; a carriage return is an
      // ordinary column step.
      {"{\"a\nb\":\r\n-1.5e3}",
       {{K::ObjectOpen, "{", {0, 0, 0}, {0, 1, 1}},
        {K::StringValue, "a\nb", {0, 1, 1}, {1, 2, 6}},
        {K::Colon, ":", {1, 2, 6}, {1, 3, 7}},
        {K::NumberValue, "-1.5e3", {2, 0, 9}, {2, 6, 15}},
        {K::ObjectClose, "}", {2, 6, 15}, {2, 7, 16}}}},
      // Keywords need no delimiter; the scanner leaves number syntax alone.
      {"truefalse null[],1-2",
       {{K::BooleanValue, "true", {0, 0, 0}, {0, 4, 4}},
        {K::BooleanValue, "false", {0, 4, 4}, {0, 9, 9}},
        {K::NullValue, "null", {0, 10, 10}, {0, 14, 14}},
        {K::ArrayOpen, "[", {0, 14, 14}, {0, 15, 15}},
        {K::ArrayClose, "]", {0, 15, 15}, {0, 16, 16}},
        {K::Comma, ",", {0, 16, 16}, {0, 17, 17}},
        {K::NumberValue, "1-2", {0, 17, 17}, {0, 20, 20}}}},
      {" \n\t ", {}},
  };
  for (const auto& c : cases) {
    const Reader::Tokens tokens = ScanText(c.input);
    ASSERT_EQ(tokens.size(), c.tokens.size()) << c.input;
    for (size_t i = 0; i < tokens.size(); ++i) {
      EXPECT_EQ(tokens[i].kind, c.tokens[i].kind) << c.input << " token " << i;
      EXPECT_EQ(tokens[i].text, c.tokens[i].text) << c.input << " token " << i;
      EXPECT_EQ(P(tokens[i].begin), c.tokens[i].begin) << c.input << " token " << i;
      EXPECT_EQ(P(tokens[i].end), c.tokens[i].end) << c.input << " token " << i;
    }
  }
}

enum class Fails { InScan, InParse };

struct BadInput {
  std::string input;
  Fails fails;
  std::string message;
  Pos begin;  // a ScanException's position
  Pos end;    // unused for a ScanException
};

void ExpectFailure(const BadInput& c) {
  std::istringstream input(c.input);
  Object object;
  try {
    Reader::Read(object, input);
    ADD_FAILURE() << "accepted: " << c.input;
  } catch (const Reader::ScanException& thrown) {
    const Reader::ScanException e = thrown;  // a copy carries everything
    EXPECT_EQ(c.fails, Fails::InScan) << c.input << ": scan error " << e.what();
    EXPECT_EQ(std::string(e.what()), c.message) << c.input;
    EXPECT_EQ(P(e.position), c.begin) << c.input;
  } catch (const Reader::ParseException& thrown) {
    const Reader::ParseException e = thrown;
    EXPECT_EQ(c.fails, Fails::InParse) << c.input << ": parse error " << e.what();
    EXPECT_EQ(std::string(e.what()), c.message) << c.input;
    EXPECT_EQ(P(e.begin), c.begin) << c.input;
    EXPECT_EQ(P(e.end), c.end) << c.input;
  }
}

TEST(JsonReaderTest, MalformedDocumentsFailWithTheirMessageAndPosition) {
  const Pos zero{0, 0, 0};
  const BadInput cases[] = {
      {"", Fails::InParse, "Unexpected End of token stream", zero, zero},
      {" \r\n\t ", Fails::InParse, "Unexpected End of token stream", zero, zero},
      // The top level must be an object.
      {"[1]", Fails::InParse, "Unexpected token: [", {0, 0, 0}, {0, 1, 1}},
      {" 5", Fails::InParse, "Unexpected token: 5", {0, 1, 1}, {0, 2, 2}},
      {"\"s\"", Fails::InParse, "Unexpected token: s", {0, 0, 0}, {0, 3, 3}},
      {"null", Fails::InParse, "Unexpected token: null", {0, 0, 0}, {0, 4, 4}},
      // Trailing tokens; a scan error anywhere wins over any parse error.
      {"{\"a\":1} 2", Fails::InParse, "Expected End of token stream; found 2", {0, 8, 8}, {0, 9, 9}},
      {"{}{}", Fails::InParse, "Expected End of token stream; found {", {0, 2, 2}, {0, 3, 3}},
      {"{\"a\":1} *", Fails::InScan, "Unexpected character in stream: *", {0, 8, 8}, zero},
      {"] *", Fails::InScan, "Unexpected character in stream: *", {0, 2, 2}, zero},
      // Members.
      {"{\"a\":1,\"a\":2}", Fails::InParse, "Duplicate object member token: a", {0, 7, 7}, {0, 10, 10}},
      {"{\"a\":1,\"a\":}", Fails::InParse, "Unexpected token: }", {0, 11, 11}, {0, 12, 12}},
      {"{\"a\"", Fails::InParse, "Unexpected End of token stream", zero, zero},
      {"{\"a\":", Fails::InParse, "Unexpected end of token stream", zero, zero},
      {"{\"a\":1,", Fails::InParse, "Unexpected End of token stream", zero, zero},
      {"{\"a\":1", Fails::InParse, "Unexpected End of token stream", zero, zero},
      {"{\"a\":1,}", Fails::InParse, "Unexpected token: }", {0, 7, 7}, {0, 8, 8}},
      {"{\"a\":1 \"b\":2}", Fails::InParse, "Unexpected token: b", {0, 7, 7}, {0, 10, 10}},
      {"{\"a\" 1}", Fails::InParse, "Unexpected token: 1", {0, 5, 5}, {0, 6, 6}},
      {"{1:2}", Fails::InParse, "Unexpected token: 1", {0, 1, 1}, {0, 2, 2}},
      {"{\"a\":,}", Fails::InParse, "Unexpected token: ,", {0, 5, 5}, {0, 6, 6}},
      // Arrays.
      {"{\"a\":[1,]}", Fails::InParse, "Unexpected token: ]", {0, 8, 8}, {0, 9, 9}},
      {"{\"a\":[1 2]}", Fails::InParse, "Unexpected token: 2", {0, 8, 8}, {0, 9, 9}},
      {"{\"a\":[:]}", Fails::InParse, "Unexpected token: :", {0, 6, 6}, {0, 7, 7}},
      {"{\"a\":[", Fails::InParse, "Unexpected End of token stream", zero, zero},
      {"{\"a\":[1,", Fails::InParse, "Unexpected end of token stream", zero, zero},
      // Keywords.
      {"{\"a\":tru", Fails::InScan, "Expected string: true", {0, 8, 8}, zero},
      {"{\"a\":trux}", Fails::InScan, "Expected string: true", {0, 9, 9}, zero},
      {"{\"a\":nul}", Fails::InScan, "Expected string: null", {0, 9, 9}, zero},
      {"{\"a\":falsy}", Fails::InScan, "Expected string: false", {0, 10, 10}, zero},
      {"{\"a\":nullx}", Fails::InScan, "Unexpected character in stream: x", {0, 9, 9}, zero},
      {"{\"a\":True}", Fails::InScan, "Unexpected character in stream: T", {0, 5, 5}, zero},
      // Strings.
      {"{\"a\":\"\\u0041\"}", Fails::InScan, "Unrecognized escape sequence found in string: \\u", {0, 8, 8}, zero},
      {"{\"a\":\"\\x\"}", Fails::InScan, "Unrecognized escape sequence found in string: \\x", {0, 8, 8}, zero},
      {"{\"a\":\"\\\n\"}", Fails::InScan, "Unrecognized escape sequence found in string: \\\n", {1, 0, 8}, zero},
      {"{\"a\":\"abc", Fails::InScan, "Expected string: \"", {0, 9, 9}, zero},
      {"{\"a\":\"abc\\", Fails::InScan, "Expected string: \"", {0, 10, 10}, zero},
      {"{\"a\n\":x}", Fails::InScan, "Unexpected character in stream: x", {1, 2, 6}, zero},
      // Bytes of 0x80 and above only inside strings.
      {"{\"\xe4\xb8\xad\":1} \xe4", Fails::InScan, "Unexpected character in stream: \xe4", {0, 10, 10}, zero},
      {"{\xef\xbb\xbf}", Fails::InScan, "Unexpected character in stream: \xef", {0, 1, 1}, zero},
      // The standard exception text ends at a zero byte.
      {std::string("{\0}", 3), Fails::InScan, "Unexpected character in stream: ", {0, 1, 1}, zero},
      // Numbers: the scanner only rejects what cannot start one...
      {"{\"a\":+1}", Fails::InScan, "Unexpected character in stream: +", {0, 5, 5}, zero},
      {"{\"a\":.5}", Fails::InScan, "Unexpected character in stream: .", {0, 5, 5}, zero},
      {"{\"a\":12abc}", Fails::InScan, "Unexpected character in stream: a", {0, 7, 7}, zero},
      // ...the parser names the first character left over...
      {"{\"a\":1.5.5}", Fails::InParse, "Unexpected character in NUMBER token: .", {0, 5, 5}, {0, 10, 10}},
      {"{\"a\":1-2}", Fails::InParse, "Unexpected character in NUMBER token: -", {0, 5, 5}, {0, 8, 8}},
      {"{\"a\":1e5e5}", Fails::InParse, "Unexpected character in NUMBER token: e", {0, 5, 5}, {0, 10, 10}},
      {"{\"a\":[2,\n 3+]}", Fails::InParse, "Unexpected character in NUMBER token: +", {1, 1, 10}, {1, 3, 12}},
      // ...and texts that make no finite number leave none to name.
      {"{\"a\":-}", Fails::InParse, "Unexpected character in NUMBER token: ", {0, 5, 5}, {0, 6, 6}},
      {"{\"a\":1e}", Fails::InParse, "Unexpected character in NUMBER token: ", {0, 5, 5}, {0, 7, 7}},
      {"{\"a\":1e+}", Fails::InParse, "Unexpected character in NUMBER token: ", {0, 5, 5}, {0, 8, 8}},
      {"{\"a\":-.}", Fails::InParse, "Unexpected character in NUMBER token: ", {0, 5, 5}, {0, 7, 7}},
      {"{\"a\":1e999}", Fails::InParse, "Unexpected character in NUMBER token: ", {0, 5, 5}, {0, 10, 10}},
      {"{\"a\":-1e999}", Fails::InParse, "Unexpected character in NUMBER token: ", {0, 5, 5}, {0, 11, 11}},
      {"{\"a\":--1}", Fails::InParse, "Unexpected character in NUMBER token: ", {0, 5, 5}, {0, 8, 8}},
  };
  for (const BadInput& c : cases) ExpectFailure(c);
}

TEST(JsonReaderTest, MembersBeforeAFailureStayInTheObject) {
  std::istringstream input("{\"a\":1,\"b\":[1,}");
  Object object;
  EXPECT_THROW(Reader::Read(object, input), Reader::ParseException);
  EXPECT_EQ(object.Size(), 1u);
  EXPECT_EQ(object.Begin()->name, "a");
}

TEST(JsonReaderTest, NestingDeeperThanTheBoundIsRejectedWithoutExhaustingTheStack) {
  const int bound = Reader::kMaxDepth;

  // The top-level object is the first level; bound - 1 arrays fit inside it.
  const std::string fits = "{\"a\":" + std::string(bound - 1, '[') + std::string(bound - 1, ']') + "}";
  EXPECT_EQ(ReadText(fits).Size(), 1u);

  // One more: the token that opens the level past the bound is named.
  const int tooDeep = 5 + bound - 1;
  ExpectFailure({"{\"a\":" + std::string(bound, '[') + std::string(bound, ']') + "}", Fails::InParse,
                 "Nesting too deep at token: [", {0, tooDeep, tooDeep}, {0, tooDeep + 1, tooDeep + 1}});

  // Far deeper input, unbalanced, of both kinds.
  const int levels = 100000;
  EXPECT_THROW(ReadText("{\"a\":" + std::string(levels, '[')), Reader::ParseException);
  std::string objects;
  for (int i = 0; i < levels; ++i) objects += "{\"a\":";
  try {
    ReadText(objects);
    ADD_FAILURE() << "deep objects accepted";
  } catch (const Reader::ParseException& e) {
    EXPECT_STREQ(e.what(), "Nesting too deep at token: {");
    EXPECT_EQ(P(e.begin), Pos(0, 5 * bound, 5 * bound));
  }
}

TEST(JsonReaderTest, PositionsStopAtTheLargestValueInsteadOfWrapping) {
  const std::int32_t max = std::numeric_limits<std::int32_t>::max();
  Reader::Position start;
  start.line = max - 1;
  start.column = max - 1;
  start.offset = max - 1;
  const Reader::Tokens tokens = ScanText("[\n]\n12", start);
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(P(tokens[0].end), Pos(max - 1, max, max));
  EXPECT_EQ(P(tokens[1].begin), Pos(max, 0, max));
  EXPECT_EQ(P(tokens[2].end), Pos(max, 2, max));
}

}  // namespace
