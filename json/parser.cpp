// The second pass: tokens to elements, by recursive descent.
#include <cmath>
#include <locale>
#include <sstream>
#include <string>
#include <utility>

#include "json/reader.h"

namespace json {

namespace {

using Position = Reader::Position;
using TokenCursor = Reader::TokenCursor;
using TokenKind = Reader::TokenKind;

struct Range {
  Position begin;
  Position end;
};

// The range of the next token, noted before the token is consumed; all zero
// when there is none (the consuming call then reports the end of the tokens).
Range NextRange(const TokenCursor& tokens) {
  if (tokens.AtEnd()) return Range();
  const Reader::Token& token = tokens.Peek();
  return Range{token.begin, token.end};
}

}  // namespace

std::string Reader::ExpectToken(TokenKind kind, TokenCursor& tokens) {
  if (tokens.AtEnd()) throw ParseException("Unexpected End of token stream", Position(), Position());
  Token& token = tokens.Take();
  if (token.kind != kind) throw ParseException("Unexpected token: " + token.text, token.begin, token.end);
  // Nothing reads a consumed token again.
  return std::move(token.text);
}

void Reader::OpenLevel(TokenKind kind, TokenCursor& tokens) {
  if (!tokens.AtEnd() && tokens.Peek().kind == kind && tokens.Depth() >= kMaxDepth) {
    const Token& token = tokens.Peek();
    throw ParseException("Nesting too deep at token: " + token.text, token.begin, token.end);
  }
  ExpectToken(kind, tokens);
  tokens.EnterLevel();
}

void Reader::Parse(UnknownElement& element, TokenCursor& tokens) {
  if (tokens.AtEnd()) throw ParseException("Unexpected end of token stream", Position(), Position());
  const Token& token = tokens.Peek();
  switch (token.kind) {
    case TokenKind::ObjectOpen: Parse(static_cast<Object&>(element), tokens); break;
    case TokenKind::ArrayOpen: Parse(static_cast<Array&>(element), tokens); break;
    case TokenKind::StringValue: Parse(static_cast<String&>(element), tokens); break;
    case TokenKind::NumberValue: Parse(static_cast<Number&>(element), tokens); break;
    case TokenKind::BooleanValue: Parse(static_cast<Boolean&>(element), tokens); break;
    case TokenKind::NullValue: Parse(static_cast<Null&>(element), tokens); break;
    case TokenKind::ObjectClose:
    case TokenKind::ArrayClose:
    case TokenKind::Comma:
    case TokenKind::Colon:
      throw ParseException("Unexpected token: " + token.text, token.begin, token.end);
  }
}

void Reader::Parse(Object& object, TokenCursor& tokens) {
  OpenLevel(TokenKind::ObjectOpen, tokens);
  bool goOn = !tokens.AtEnd() && tokens.Peek().kind != TokenKind::ObjectClose;
  while (goOn) {
    const Range nameRange = NextRange(tokens);
    Object::Member member;
    member.name = ExpectToken(TokenKind::StringValue, tokens);
    ExpectToken(TokenKind::Colon, tokens);
    // The value comes first, so an error inside a repeated member's value is
    // the one reported.
    Parse(member.element, tokens);
    try {
      object.Insert(std::move(member));
    } catch (const Exception&) {
      throw ParseException("Duplicate object member token: " + member.name, nameRange.begin, nameRange.end);
    }
    goOn = !tokens.AtEnd() && tokens.Peek().kind == TokenKind::Comma;
    if (goOn) ExpectToken(TokenKind::Comma, tokens);
  }
  ExpectToken(TokenKind::ObjectClose, tokens);
  tokens.LeaveLevel();
}

void Reader::Parse(Array& array, TokenCursor& tokens) {
  OpenLevel(TokenKind::ArrayOpen, tokens);
  if (!tokens.AtEnd() && tokens.Peek().kind != TokenKind::ArrayClose) {
    for (;;) {
      // Filled in place: the parsed value is never copied.
      Parse(*array.Insert(UnknownElement()), tokens);
      if (tokens.AtEnd() || tokens.Peek().kind != TokenKind::Comma) break;
      ExpectToken(TokenKind::Comma, tokens);
    }
  }
  ExpectToken(TokenKind::ArrayClose, tokens);
  tokens.LeaveLevel();
}

void Reader::Parse(String& string, TokenCursor& tokens) {
  string.Value() = ExpectToken(TokenKind::StringValue, tokens);
}

void Reader::Parse(Number& number, TokenCursor& tokens) {
  const Range range = NextRange(tokens);
  const std::string text = ExpectToken(TokenKind::NumberValue, tokens);
  std::istringstream stream(text);
  stream.imbue(std::locale::classic());
  double value = 0.0;
  stream >> value;
  // The whole text must make one finite number. Texts that are read to the
  // end without giving one ("-", "1e", "1e+", "-.", "1e999") and texts the
  // extraction gives up on ("--1") leave no character to name, and are
  // rejected with the message alone.
  if (!stream.fail() && stream.eof() && std::isfinite(value)) {
    number.Value() = value;
    return;
  }
  std::string message = "Unexpected character in NUMBER token: ";
  if (!stream.fail() && !stream.eof()) message += std::istringstream::traits_type::to_char_type(stream.peek());
  throw ParseException(message, range.begin, range.end);
}

void Reader::Parse(Boolean& boolean, TokenCursor& tokens) {
  boolean.Value() = ExpectToken(TokenKind::BooleanValue, tokens) == "true";
}

void Reader::Parse(Null&, TokenCursor& tokens) { ExpectToken(TokenKind::NullValue, tokens); }

}  // namespace json
