// The little JSON the board page's server needs: reading a request body, a
// flat object such as {"x": 7, "y": 8} or {"colour": "white"}, and quoting
// strings for the answers it writes. A body holds strings, whole numbers,
// true, false or null; anything nested is refused, since no request has it.
#pragma once

#include <map>
#include <string>

namespace arena {

struct JsonValue {
  enum class Kind { kString, kNumber, kBool, kNull };
  Kind kind = Kind::kNull;
  std::string text;      // kString
  long long number = 0;  // kNumber
  bool flag = false;     // kBool
};

using JsonObject = std::map<std::string, JsonValue>;

// False with a message in `error` for anything but one flat object; an empty
// body reads as {}.
bool parseFlatObject(const std::string& body, JsonObject& object, std::string& error);

// The text in double quotes, with quotes, backslashes and control characters
// escaped.
std::string jsonString(const std::string& text);

// The body of a refused request: {"error":"..."}.
std::string jsonError(const std::string& message);

}  // namespace arena
