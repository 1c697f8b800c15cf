// The HTTP statuses the board page's server answers with, named once for the
// server, its request reader and the game's own refusals, and the reason
// phrase of each for the status line.
#pragma once

namespace arena {

constexpr int kContinue = 100;
constexpr int kOk = 200;
constexpr int kBadRequest = 400;  // the request itself is wrong
constexpr int kForbidden = 403;   // sent by another site's page
constexpr int kNotFound = 404;
constexpr int kMethodNotAllowed = 405;
constexpr int kConflict = 409;  // a right request at the wrong moment
constexpr int kPayloadTooLarge = 413;
constexpr int kUnsupportedMediaType = 415;
constexpr int kExpectationFailed = 417;
constexpr int kMisdirectedRequest = 421;  // a Host that is not this server
constexpr int kHeadersTooLarge = 431;
constexpr int kNotImplemented = 501;
constexpr int kVersionNotSupported = 505;

inline const char* reasonPhrase(int status) {
  switch (status) {
    case kContinue:
      return "Continue";
    case kOk:
      return "OK";
    case kBadRequest:
      return "Bad Request";
    case kForbidden:
      return "Forbidden";
    case kNotFound:
      return "Not Found";
    case kMethodNotAllowed:
      return "Method Not Allowed";
    case kConflict:
      return "Conflict";
    case kPayloadTooLarge:
      return "Payload Too Large";
    case kUnsupportedMediaType:
      return "Unsupported Media Type";
    case kExpectationFailed:
      return "Expectation Failed";
    case kMisdirectedRequest:
      return "Misdirected Request";
    case kHeadersTooLarge:
      return "Request Header Fields Too Large";
    case kNotImplemented:
      return "Not Implemented";
    case kVersionNotSupported:
      return "HTTP Version Not Supported";
  }
  return "Unknown";
}

}  // namespace arena
