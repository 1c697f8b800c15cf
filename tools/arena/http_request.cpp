#include "http_request.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "http_status.h"

namespace arena {

namespace {

// More hex digits than this in a chunk size is more than any body we take.
constexpr std::size_t kMaxChunkSizeDigits = 8;
// More decimal digits than this in a Content-Length is more than any body we take.
constexpr std::size_t kMaxLengthDigits = 12;

bool isTokenChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) ||
         std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

bool isToken(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), isTokenChar);
}

std::string lowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// The comma-separated elements of a header value, trimmed, empty ones dropped.
std::vector<std::string_view> listElements(std::string_view value) {
  std::vector<std::string_view> out;
  while (!value.empty()) {
    const std::size_t comma = value.find(',');
    const std::string_view element = trimmed(value.substr(0, comma));
    if (!element.empty()) out.push_back(element);
    if (comma == std::string_view::npos) break;
    value.remove_prefix(comma + 1);
  }
  return out;
}

}  // namespace

const std::string* HttpRequest::header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (key == name) return &value;
  }
  return nullptr;
}

int HttpRequest::headerCount(std::string_view name) const {
  return static_cast<int>(std::count_if(headers.begin(), headers.end(),
                                        [&](const auto& h) { return h.first == name; }));
}

bool HttpRequest::keepAlive() const {
  bool close = false, keep = false;
  for (const auto& [key, value] : headers) {
    if (key != "connection") continue;
    for (std::string_view token : listElements(value)) {
      const std::string word = lowerCase(token);
      close = close || word == "close";
      keep = keep || word == "keep-alive";
    }
  }
  return !close && (minorVersion >= 1 || keep);
}

std::size_t HttpRequestParser::feed(std::string_view input) {
  std::size_t used = 0;
  while (used < input.size() && state != State::kDone && state != State::kFailed) {
    if (state == State::kBody || state == State::kChunkData) {
      // Body bytes in bulk: their count was checked against the limit
      // before the first of them was taken.
      const std::size_t n = std::min(remaining, input.size() - used);
      request.body.append(input.data() + used, n);
      used += n;
      remaining -= n;
      if (remaining == 0) state = state == State::kBody ? State::kDone : State::kChunkEnd;
      continue;
    }
    consume(input[used++]);
  }
  return used;
}

HttpRequest HttpRequestParser::take() {
  HttpRequest out = std::move(request);
  request = HttpRequest();
  state = State::kIdle;
  line.clear();
  remaining = 0;
  trailerBytes = 0;
  expectContinue = false;
  return out;
}

bool HttpRequestParser::fail(int status, std::string message) {
  state = State::kFailed;
  failStatus = status;
  failMessage = std::move(message);
  return false;
}

bool HttpRequestParser::consume(char c) {
  switch (state) {
    case State::kIdle:
      // Blank lines before a request are allowed (and ignored).
      if (c == '\r' || c == '\n') return true;
      state = State::kHead;
      [[fallthrough]];
    case State::kHead:
      line += c;
      if (line.size() > limits.headBytes) {
        return fail(kHeadersTooLarge, "the request line and headers are larger than " +
                                          std::to_string(limits.headBytes) + " bytes");
      }
      return c != '\n' || !headEnded() || parseHead();
    case State::kChunkLine:
      line += c;
      if (line.size() > limits.chunkLineBytes) {
        return fail(kBadRequest, "a chunk size line is longer than " +
                                     std::to_string(limits.chunkLineBytes) + " bytes");
      }
      return c != '\n' || chunkLineEnded();
    case State::kChunkEnd:
      if (c == '\r' && line.empty()) {
        line += c;
        return true;
      }
      if (c != '\n') return fail(kBadRequest, "a chunk does not end with CR LF");
      line.clear();
      state = State::kChunkLine;
      return true;
    case State::kTrailer:
      line += c;
      if (++trailerBytes > limits.headBytes) {
        return fail(kHeadersTooLarge,
                    "the trailer is larger than " + std::to_string(limits.headBytes) + " bytes");
      }
      if (c != '\n') return true;
      // Trailer fields are read and dropped; an empty line ends the request.
      if (line == "\n" || line == "\r\n") state = State::kDone;
      line.clear();
      return true;
    case State::kBody:
    case State::kChunkData:
    case State::kDone:
    case State::kFailed:
      break;
  }
  return false;
}

bool HttpRequestParser::headEnded() {
  return line.ends_with("\n\n") || line.ends_with("\n\r\n");
}

bool HttpRequestParser::parseHead() {
  // Step 1. The lines, without their endings: CR only before LF.
  std::vector<std::string_view> lines;
  std::string_view rest = line;
  while (!rest.empty()) {
    const std::size_t lf = rest.find('\n');
    std::string_view one = rest.substr(0, lf);
    rest.remove_prefix(lf + 1);
    if (!one.empty() && one.back() == '\r') one.remove_suffix(1);
    if (one.find('\r') != std::string_view::npos) {
      return fail(kBadRequest, "a CR inside a line of the head");
    }
    lines.push_back(one);
  }
  lines.pop_back();  // the empty line that ends the head

  // Step 2. The request line, the headers, then how the body is framed.
  if (!parseRequestLine(lines.front())) return false;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (!parseHeaderLine(lines[i])) return false;
  }
  line.clear();
  return chooseFraming();
}

bool HttpRequestParser::parseRequestLine(std::string_view text) {
  const std::size_t first = text.find(' ');
  const std::size_t second = first == std::string_view::npos ? first : text.find(' ', first + 1);
  if (second == std::string_view::npos || text.find(' ', second + 1) != std::string_view::npos) {
    return fail(kBadRequest, "the request line is not METHOD TARGET HTTP/1.x");
  }
  const std::string_view method = text.substr(0, first);
  const std::string_view target = text.substr(first + 1, second - first - 1);
  const std::string_view version = text.substr(second + 1);
  if (!isToken(method)) return fail(kBadRequest, "the method is not a token");
  if (target.empty() || target.front() != '/' ||
      !std::all_of(target.begin(), target.end(), [](char c) { return c > ' ' && c < 0x7F; })) {
    return fail(kBadRequest, "the target must be a path beginning with /");
  }
  if (version != "HTTP/1.1" && version != "HTTP/1.0") {
    const bool looksLikeHttp = version.size() == 8 && version.starts_with("HTTP/") &&
                               std::isdigit(static_cast<unsigned char>(version[5])) &&
                               version[6] == '.' &&
                               std::isdigit(static_cast<unsigned char>(version[7]));
    return looksLikeHttp ? fail(kVersionNotSupported, "only HTTP/1.0 and HTTP/1.1 are served")
                         : fail(kBadRequest, "the request line is not METHOD TARGET HTTP/1.x");
  }
  request.method = method;
  request.target = target;
  request.minorVersion = version.back() - '0';
  const std::size_t question = target.find('?');
  request.path = target.substr(0, question);
  if (question != std::string_view::npos) request.query = target.substr(question + 1);
  return true;
}

bool HttpRequestParser::parseHeaderLine(std::string_view text) {
  if (text.front() == ' ' || text.front() == '\t') {
    return fail(kBadRequest, "folded header lines are not accepted");
  }
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos || !isToken(text.substr(0, colon))) {
    return fail(kBadRequest, "a header line is not NAME: VALUE");
  }
  const std::string_view value = trimmed(text.substr(colon + 1));
  if (std::any_of(value.begin(), value.end(), [](char c) {
        return (static_cast<unsigned char>(c) < ' ' && c != '\t') || c == 0x7F;
      })) {
    return fail(kBadRequest, "a control character in a header value");
  }
  if (request.headers.size() >= limits.headerCount) {
    return fail(kHeadersTooLarge,
                "more than " + std::to_string(limits.headerCount) + " header lines");
  }
  request.headers.emplace_back(lowerCase(text.substr(0, colon)), value);
  return true;
}

bool HttpRequestParser::chooseFraming() {
  const std::string tooLarge =
      "the request body is larger than " + std::to_string(limits.bodyBytes) + " bytes";
  const bool chunked = request.headerCount("transfer-encoding") > 0;
  const bool sized = request.headerCount("content-length") > 0;

  // Step 1. Transfer-Encoding: chunked alone, never with a length.
  if (chunked) {
    if (sized) return fail(kBadRequest, "both Content-Length and Transfer-Encoding");
    if (request.minorVersion == 0) {
      return fail(kBadRequest, "Transfer-Encoding in an HTTP/1.0 request");
    }
    std::vector<std::string_view> codings;
    for (const auto& [key, value] : request.headers) {
      if (key != "transfer-encoding") continue;
      for (std::string_view coding : listElements(value)) codings.push_back(coding);
    }
    if (codings.size() != 1 || lowerCase(codings.front()) != "chunked") {
      return fail(kNotImplemented, "only the chunked transfer coding is understood");
    }
    state = State::kChunkLine;
  }

  // Step 2. Content-Length: digits, the same in every copy, within the limit.
  if (sized) {
    std::string digits;
    for (const auto& [key, value] : request.headers) {
      if (key != "content-length") continue;
      const auto elements = listElements(value);
      for (std::string_view element : elements) {
        std::string_view d = element;
        if (!std::all_of(d.begin(), d.end(), [](char c) { return c >= '0' && c <= '9'; })) {
          return fail(kBadRequest, "Content-Length is not a number");
        }
        while (d.size() > 1 && d.front() == '0') d.remove_prefix(1);
        if (!digits.empty() && d != digits) return fail(kBadRequest, "differing Content-Lengths");
        digits = d;
      }
      if (elements.empty()) return fail(kBadRequest, "Content-Length is not a number");
    }
    if (digits.size() > kMaxLengthDigits || std::stoull(digits) > limits.bodyBytes) {
      return fail(kPayloadTooLarge, tooLarge);
    }
    remaining = std::stoull(digits);
    state = remaining > 0 ? State::kBody : State::kDone;
  }
  if (!chunked && !sized) state = State::kDone;

  // Step 3. Expect: only 100-continue, which matters while a body is due.
  if (const std::string* expect = request.header("expect")) {
    if (lowerCase(trimmed(*expect)) != "100-continue") {
      return fail(kExpectationFailed, "only Expect: 100-continue is understood");
    }
    expectContinue = state != State::kDone && request.minorVersion >= 1;
  }
  return true;
}

bool HttpRequestParser::chunkLineEnded() {
  std::string_view text = line;
  text.remove_suffix(1);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  if (text.find('\r') != std::string_view::npos) return fail(kBadRequest, "a CR in a chunk line");
  std::size_t digits = 0;
  while (digits < text.size() && std::isxdigit(static_cast<unsigned char>(text[digits]))) {
    ++digits;
  }
  const std::string_view after = trimmed(text.substr(digits));
  if (digits == 0 || (!after.empty() && after.front() != ';')) {
    return fail(kBadRequest, "a chunk size is not a hexadecimal number");
  }
  std::string_view hex = text.substr(0, digits);
  while (hex.size() > 1 && hex.front() == '0') hex.remove_prefix(1);
  const std::string tooLarge =
      "the request body is larger than " + std::to_string(limits.bodyBytes) + " bytes";
  if (hex.size() > kMaxChunkSizeDigits) return fail(kPayloadTooLarge, tooLarge);
  const std::size_t size = std::stoull(std::string(hex), nullptr, 16);
  if (request.body.size() + size > limits.bodyBytes) return fail(kPayloadTooLarge, tooLarge);
  line.clear();
  if (size == 0) {
    state = State::kTrailer;
  } else {
    remaining = size;
    state = State::kChunkData;
  }
  return true;
}

}  // namespace arena
