// Turns JSON text whose top level is an object into the value model.
//
// Two passes: the scanner reads the whole input into tokens, each with the
// input range it covers; then a recursive-descent parser builds the elements
// from them. The first error ends the read with an exception that carries the
// message and where in the input it happened. The reader keeps no state
// between calls.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "json/elements.h"

namespace json {

class Reader {
 public:
  // Counted from 0: line feeds consumed, bytes since the last line feed, and
  // bytes since the start of the input.
  struct Position {
    std::int32_t line = 0;
    std::int32_t column = 0;
    std::int32_t offset = 0;
  };

  // `position` is where the scanner stood when it failed.
  class ScanException : public Exception {
   public:
    ScanException(const std::string& message, const Position& where) : Exception(message), position(where) {}
    Position position;
  };

  // `begin` and `end` are the range of the offending token, or all zero when
  // the tokens ran out.
  class ParseException : public Exception {
   public:
    ParseException(const std::string& message, const Position& first, const Position& last)
        : Exception(message), begin(first), end(last) {}
    Position begin;
    Position end;
  };

  enum class TokenKind {
    ObjectOpen = 0,
    ObjectClose = 1,
    ArrayOpen = 2,
    ArrayClose = 3,
    Comma = 4,
    Colon = 5,
    StringValue = 6,   // text: the decoded contents, without the quotes
    NumberValue = 7,   // text: the raw characters as read
    BooleanValue = 8,  // text: "true" or "false"
    NullValue = 9,     // text: "null"
  };

  struct Token {
    TokenKind kind = TokenKind::ObjectOpen;
    std::string text;
    Position begin;  // before the token's first byte
    Position end;    // just after its last byte
  };

  using Tokens = std::vector<Token>;

  // The input bytes and the position of the next one. The stream is not
  // owned. Positions stop growing at the largest 32-bit value instead of
  // wrapping, so an input of 2 GiB or more cannot produce negative positions.
  class CharCursor {
   public:
    explicit CharCursor(std::istream& input) : m_input(input), m_position() {}
    CharCursor(std::istream& input, const Position& start) : m_input(input), m_position(start) {}
    bool AtEnd();
    char Peek();  // the next byte; only when not AtEnd()
    char Take();  // consumes the next byte; only when not AtEnd()
    const Position& GetPosition() const { return m_position; }

   private:
    std::istream& m_input;
    Position m_position;
  };

  // The token list and the index of the next token. The parser moves the
  // text out of each token it consumes, so no token text is ever copied.
  class TokenCursor {
   public:
    explicit TokenCursor(Tokens& tokens) : m_tokens(tokens) {}
    bool AtEnd() const { return m_nNext == m_tokens.size(); }
    Token& Peek() const { return m_tokens[m_nNext]; }  // only when not AtEnd()
    Token& Take() { return m_tokens[m_nNext++]; }      // only when not AtEnd()

    // Arrays and objects open at the cursor. The parser recurses once per
    // level and bounds the levels, so that its stack use is bounded too.
    int Depth() const { return m_nDepth; }
    void EnterLevel() { ++m_nDepth; }
    void LeaveLevel() { --m_nDepth; }

   private:
    Tokens& m_tokens;
    Tokens::size_type m_nNext = 0;
    int m_nDepth = 0;
  };

  // The most arrays and objects open at once, the top-level object included.
  // Far above any reply of the update service, and low enough that the
  // recursion stays within a 1 MiB stack, also in an instrumented build.
  static constexpr int kMaxDepth = 512;

  // Reads the stream to its end and adds the document's members, in document
  // order, to `object` (which the caller passes empty). Throws ScanException
  // or ParseException; after one, `object` may hold the members inserted
  // before the failure. Allocation failures pass through.
  static void Read(Object& object, std::istream& input);

  // The scanner pass on its own: the whole input as tokens.
  static Tokens Scan(CharCursor& chars);

 private:
  static void Parse(UnknownElement& element, TokenCursor& tokens);
  static void Parse(Object& object, TokenCursor& tokens);
  static void Parse(Array& array, TokenCursor& tokens);
  static void Parse(String& string, TokenCursor& tokens);
  static void Parse(Number& number, TokenCursor& tokens);
  static void Parse(Boolean& boolean, TokenCursor& tokens);
  static void Parse(Null& null, TokenCursor& tokens);

  // Consumes the next token, which must be of `kind`, and hands over its text.
  static std::string ExpectToken(TokenKind kind, TokenCursor& tokens);
  // The same for "{" or "[", counting the level it opens.
  static void OpenLevel(TokenKind kind, TokenCursor& tokens);
};

}  // namespace json
