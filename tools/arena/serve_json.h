// The JSON of the board page's API, read and written by nlohmann::json.
// A request body is one object (an empty body reads as {}); the fields a
// request needs are looked up in it and anything else is ignored. Answers
// keep their fields in the order they are written (ordered_json), and text
// from the brains, which may be any bytes, is written as valid UTF-8 (bad
// bytes become U+FFFD) instead of failing the answer.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace arena {

using Json = nlohmann::ordered_json;

// False with a message in `error` for anything but one JSON object.
bool parseRequestBody(const std::string& body, Json& object, std::string& error);

// Compact text of `value`.
std::string jsonText(const Json& value);

// The body of a refused request: {"error":"..."}.
std::string jsonError(const std::string& message);

}  // namespace arena
