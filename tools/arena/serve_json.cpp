#include "serve_json.h"

namespace arena {

bool parseRequestBody(const std::string& body, Json& object, std::string& error) {
  if (body.find_first_not_of(" \t\r\n") == std::string::npos) {
    object = Json::object();
    return true;
  }
  try {
    object = Json::parse(body);
  } catch (const Json::parse_error& e) {
    // The library's message without its "[json.exception.parse_error.N] " tag.
    const std::string what = e.what();
    const std::size_t tag = what.find("] ");
    error = "malformed JSON: " + (tag == std::string::npos ? what : what.substr(tag + 2));
    return false;
  }
  if (!object.is_object()) {
    error = "malformed JSON: the body must be one object, {...}";
    return false;
  }
  return true;
}

std::string jsonText(const Json& value) {
  return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string jsonError(const std::string& message) {
  return jsonText(Json{{"error", message}});
}

}  // namespace arena
