// HTTP/1.x requests as the board page's server reads them: HttpRequest, and
// HttpRequestParser, which takes a connection's bytes as they arrive and
// never holds more of a request than its limits, whatever its framing. The
// head (request line and headers) is refused beyond `headBytes`, a body
// beyond `bodyBytes` whether it is announced by Content-Length (refused
// before a byte of it is read) or sent in chunks (refused at the chunk that
// would pass the limit); chunk lines and trailers are bounded too. Framing
// that two readers could understand differently (Content-Length with
// Transfer-Encoding, differing lengths, folded or blank-named headers, bare
// CR) is refused, so that nothing can be smuggled past a proxy in front.
//
// The parser is a byte-at-a-time state machine over whatever arrives: it
// consumes input up to the end of one request and leaves the rest (a
// pipelined next request) to the caller.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace arena {

struct HttpLimits {
  std::size_t headBytes = 8192;      // request line and headers together
  std::size_t headerCount = 64;      // header lines
  std::size_t bodyBytes = 4096;      // the body after any chunked coding is removed
  std::size_t chunkLineBytes = 256;  // a chunk's size line with its extensions
};

struct HttpRequest {
  std::string method;
  std::string target;                                        // as sent: the path and the query
  std::string path;                                          // the target up to '?'
  std::string query;                                         // after '?', without it
  int minorVersion = 1;                                      // HTTP/1.x
  std::vector<std::pair<std::string, std::string>> headers;  // names in lower case
  std::string body;

  // The value of the first header of that (lower-case) name, or null.
  const std::string* header(std::string_view name) const;
  int headerCount(std::string_view name) const;
  // The client wants the connection kept after the answer.
  bool keepAlive() const;
};

class HttpRequestParser {
 public:
  enum class Status { kNeedMore, kDone, kFailed };

  explicit HttpRequestParser(const HttpLimits& limits) : limits(limits) {}

  // Consumes bytes of `input` and returns how many it used: all of them, or
  // fewer when a request ended (kDone) or was refused (kFailed) before the end.
  std::size_t feed(std::string_view input);
  Status status() const {
    return state == State::kDone     ? Status::kDone
           : state == State::kFailed ? Status::kFailed
                                     : Status::kNeedMore;
  }
  // A byte of a request has arrived (blank lines before one do not count).
  bool started() const { return state != State::kIdle; }
  // The head asked for "100 Continue" before its body is sent.
  bool wantsContinue() const { return expectContinue && state != State::kDone; }
  // After kFailed: the status to answer and why.
  int errorStatus() const { return failStatus; }
  const std::string& errorMessage() const { return failMessage; }
  // After kDone: the request; the parser then waits for the next one.
  HttpRequest take();

 private:
  enum class State {
    kIdle,       // between requests
    kHead,       // request line and headers
    kBody,       // `remaining` bytes announced by Content-Length
    kChunkLine,  // a chunk's size line
    kChunkData,  // `remaining` bytes of a chunk
    kChunkEnd,   // the CR LF after a chunk
    kTrailer,    // trailer lines after the last chunk
    kDone,
    kFailed,
  };

  bool consume(char c);
  bool headEnded();
  bool parseHead();
  bool parseRequestLine(std::string_view line);
  bool parseHeaderLine(std::string_view line);
  bool chooseFraming();
  bool chunkLineEnded();
  bool fail(int status, std::string message);

  HttpLimits limits;
  State state = State::kIdle;
  HttpRequest request;
  std::string line;  // the head, or the current chunk or trailer line
  std::size_t remaining = 0;
  std::size_t trailerBytes = 0;
  bool expectContinue = false;
  int failStatus = 0;
  std::string failMessage;
};

}  // namespace arena
