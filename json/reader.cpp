#include "json/reader.h"

namespace json {

void Reader::Read(Object& object, std::istream& input) {
  // Every scan error is found before any parse error: the whole input is
  // tokenised first.
  CharCursor chars(input);
  Tokens tokens = Scan(chars);
  TokenCursor cursor(tokens);
  Parse(object, cursor);
  if (!cursor.AtEnd()) {
    const Token& token = cursor.Peek();
    throw ParseException("Expected End of token stream; found " + token.text, token.begin, token.end);
  }
}

}  // namespace json
