#include "serve_json.h"

#include <cctype>
#include <cstdio>

namespace arena {

namespace {

// Whole numbers in a body are board coordinates: a few digits are plenty.
constexpr int kMaxDigits = 9;

class Reader {
 public:
  explicit Reader(const std::string& text) : text(text) {}

  void skipBlanks() {
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
  }
  bool done() const { return at >= text.size(); }
  bool take(char c) {
    skipBlanks();
    if (at < text.size() && text[at] == c) {
      ++at;
      return true;
    }
    return false;
  }
  bool word(const char* w) {
    const std::string expected(w);
    if (text.compare(at, expected.size(), expected) != 0) return false;
    at += expected.size();
    return true;
  }

  bool string(std::string& out, std::string& error) {
    if (!take('"')) return fail(error, "a string in double quotes was expected");
    out.clear();
    while (at < text.size()) {
      const char c = text[at++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20)
        return fail(error, "a control character in a string");
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at >= text.size()) break;
      const char e = text[at++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          if (at + 4 > text.size()) return fail(error, "a bad \\u escape");
          unsigned code = 0;
          for (int i = 0; i < 4; ++i) {
            const char h = text[at++];
            if (!std::isxdigit(static_cast<unsigned char>(h)))
              return fail(error, "a bad \\u escape");
            code = code * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(h))
                                                         ? h - '0'
                                                         : std::tolower(h) - 'a' + 10);
          }
          appendUtf8(out, code);
          break;
        }
        default:
          return fail(error, "a bad escape in a string");
      }
    }
    return fail(error, "a string is not closed");
  }

  bool value(JsonValue& v, std::string& error) {
    skipBlanks();
    if (at >= text.size()) return fail(error, "a value was expected");
    const char c = text[at];
    if (c == '"') {
      v.kind = JsonValue::Kind::kString;
      return string(v.text, error);
    }
    if (c == '-' || std::isdigit(static_cast<unsigned char>(c))) {
      v.kind = JsonValue::Kind::kNumber;
      return number(v.number, error);
    }
    if (word("true") || word("false")) {
      v.kind = JsonValue::Kind::kBool;
      v.flag = c == 't';
      return true;
    }
    if (word("null")) {
      v.kind = JsonValue::Kind::kNull;
      return true;
    }
    if (c == '{' || c == '[') return fail(error, "nested objects and lists are not expected");
    return fail(error, "a value was expected");
  }

 private:
  bool number(long long& out, std::string& error) {
    const bool negative = text[at] == '-';
    if (negative) ++at;
    int digits = 0;
    out = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
      if (++digits > kMaxDigits) return fail(error, "a number is too long");
      out = out * 10 + (text[at++] - '0');
    }
    if (digits == 0) return fail(error, "a number was expected");
    if (at < text.size() && (text[at] == '.' || text[at] == 'e' || text[at] == 'E')) {
      return fail(error, "numbers must be whole");
    }
    if (negative) out = -out;
    return true;
  }

  static void appendUtf8(std::string& out, unsigned code) {
    if (code < 0x80) {
      out += static_cast<char>(code);
    } else if (code < 0x800) {
      out += static_cast<char>(0xC0 | (code >> 6));
      out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (code >> 12));
      out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (code & 0x3F));
    }
  }

  bool fail(std::string& error, const char* what) {
    error = std::string("malformed JSON: ") + what + " at offset " + std::to_string(at);
    return false;
  }

  const std::string& text;
  std::size_t at = 0;
};

}  // namespace

bool parseFlatObject(const std::string& body, JsonObject& object, std::string& error) {
  object.clear();
  Reader reader(body);
  reader.skipBlanks();
  if (reader.done()) return true;
  if (!reader.take('{')) {
    error = "malformed JSON: the body must be one object, {...}";
    return false;
  }
  if (!reader.take('}')) {
    do {
      std::string name;
      JsonValue value;
      if (!reader.string(name, error)) return false;
      if (!reader.take(':')) {
        error = "malformed JSON: ':' expected after \"" + name + "\"";
        return false;
      }
      if (!reader.value(value, error)) return false;
      object[name] = value;
    } while (reader.take(','));
    if (!reader.take('}')) {
      error = "malformed JSON: ',' or '}' expected";
      return false;
    }
  }
  reader.skipBlanks();
  if (!reader.done()) {
    error = "malformed JSON: text after the object";
    return false;
  }
  return true;
}

std::string jsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string jsonError(const std::string& message) {
  return "{\"error\":" + jsonString(message) + "}";
}

}  // namespace arena
