// The first pass: bytes to tokens.
#include <cstdint>
#include <limits>
#include <string>
#include <utility>

#include "json/reader.h"

namespace json {

namespace {

using Position = Reader::Position;
using CharCursor = Reader::CharCursor;
using Token = Reader::Token;
using TokenKind = Reader::TokenKind;

void Advance(std::int32_t& counter) {
  if (counter < std::numeric_limits<std::int32_t>::max()) ++counter;
}

// The whitespace class of the classic locale: space, tab, line feed, vertical
// tab, form feed, carriage return. Nothing else, whatever the global locale.
bool IsWhitespace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsNumberByte(char c) {
  return (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+';
}

void SkipWhitespace(CharCursor& chars) {
  while (!chars.AtEnd() && IsWhitespace(chars.Peek())) chars.Take();
}

// Consumes exactly `expected`, failing after the first byte that differs or
// at the end of the input.
void ExpectText(CharCursor& chars, const std::string& expected) {
  for (char wanted : expected) {
    if (chars.AtEnd() || chars.Take() != wanted)
      throw Reader::ScanException("Expected string: " + expected, chars.GetPosition());
  }
}

// Everything between the quotes is taken as bytes: line feeds, control bytes
// and bytes of 0x80 and above pass unchanged. There is no \u escape.
void ScanString(CharCursor& chars, std::string& text) {
  ExpectText(chars, "\"");
  while (!chars.AtEnd() && chars.Peek() != '"') {
    char c = chars.Take();
    if (c != '\\') {
      text.push_back(c);
    } else if (chars.AtEnd()) {
      text.push_back(c);
    } else {
      char escaped = chars.Take();
      switch (escaped) {
        case '"': text.push_back('"'); break;
        case '/': text.push_back('/'); break;
        case '\\': text.push_back('\\'); break;
        case 'b': text.push_back('\b'); break;
        case 'f': text.push_back('\f'); break;
        case 'n': text.push_back('\n'); break;
        case 'r': text.push_back('\r'); break;
        case 't': text.push_back('\t'); break;
        default:
          throw Reader::ScanException(std::string("Unrecognized escape sequence found in string: \\") + escaped,
                                      chars.GetPosition());
      }
    }
  }
  ExpectText(chars, "\"");
}

// Takes every byte that can occur in a number; whether they form one is the
// parser's decision.
void ScanNumber(CharCursor& chars, std::string& text) {
  while (!chars.AtEnd() && IsNumberByte(chars.Peek())) text.push_back(chars.Take());
}

// A token of fixed text: one punctuation byte or a keyword. Keywords need no
// delimiter after them: truefalse is two tokens.
void FixedToken(CharCursor& chars, Token& token, TokenKind kind, const char* text) {
  token.kind = kind;
  token.text = text;
  ExpectText(chars, token.text);
}

}  // namespace

bool Reader::CharCursor::AtEnd() { return m_input.peek() == std::istream::traits_type::eof(); }

char Reader::CharCursor::Peek() { return std::istream::traits_type::to_char_type(m_input.peek()); }

char Reader::CharCursor::Take() {
  char c = std::istream::traits_type::to_char_type(m_input.get());
  Advance(m_position.offset);
  if (c == '\n') {
    Advance(m_position.line);
    m_position.column = 0;
  } else {
    Advance(m_position.column);
  }
  return c;
}

Reader::Tokens Reader::Scan(CharCursor& chars) {
  Tokens tokens;
  SkipWhitespace(chars);
  while (!chars.AtEnd()) {
    Token token;
    token.begin = chars.GetPosition();
    const char c = chars.Peek();
    switch (c) {
      case '{': FixedToken(chars, token, TokenKind::ObjectOpen, "{"); break;
      case '}': FixedToken(chars, token, TokenKind::ObjectClose, "}"); break;
      case '[': FixedToken(chars, token, TokenKind::ArrayOpen, "["); break;
      case ']': FixedToken(chars, token, TokenKind::ArrayClose, "]"); break;
      case ',': FixedToken(chars, token, TokenKind::Comma, ","); break;
      case ':': FixedToken(chars, token, TokenKind::Colon, ":"); break;
      case '"':
        token.kind = TokenKind::StringValue;
        ScanString(chars, token.text);
        break;
      case 't': FixedToken(chars, token, TokenKind::BooleanValue, "true"); break;
      case 'f': FixedToken(chars, token, TokenKind::BooleanValue, "false"); break;
      case 'n': FixedToken(chars, token, TokenKind::NullValue, "null"); break;
      default:
        if (c != '-' && (c < '0' || c > '9'))
          throw ScanException(std::string("Unexpected character in stream: ") + c, chars.GetPosition());
        token.kind = TokenKind::NumberValue;
        ScanNumber(chars, token.text);
        break;
    }
    token.end = chars.GetPosition();
    tokens.push_back(std::move(token));
    SkipWhitespace(chars);
  }
  return tokens;
}

}  // namespace json
