// The one error type of the JSON module. Its text is the standard exception
// text, so a caller that only wants to log or compare messages needs nothing
// more than what().
#pragma once

#include <stdexcept>
#include <string>

namespace json {

class Exception : public std::runtime_error {
 public:
  explicit Exception(const std::string& message) : std::runtime_error(message) {}
};

}  // namespace json
