// Fuzzing the board page's request reader: arbitrary bytes read as one connection's, whole and cut
// into pieces whose sizes the input chooses (a network may deliver any split). Both readings agree;
// the reader never takes more than it was given; what it accepts and refuses is well formed.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "http_request.h"

namespace {

using arena::HttpRequestParser;
using Status = HttpRequestParser::Status;

// What a connection's bytes amount to: each request (method, target, body) in order, then the
// refusal's status or where the bytes ran out.
std::vector<std::string> readAll(std::string_view bytes, std::string_view cuts) {
  const arena::HttpLimits limits;
  HttpRequestParser parser(limits);
  std::vector<std::string> out;
  std::size_t at = 0, cut = 0;
  while (at < bytes.size()) {
    std::size_t piece = bytes.size() - at;
    if (!cuts.empty()) {
      const auto size = static_cast<unsigned char>(cuts[cut++ % cuts.size()]);
      piece = std::min<std::size_t>(piece, 1 + size % 64);
    }
    const std::size_t used = parser.feed(bytes.substr(at, piece));
    FUZZ_CHECK(used <= piece);
    at += used;
    if (parser.status() == Status::kFailed) {
      const int s = parser.errorStatus();
      FUZZ_CHECK(s == 400 || s == 413 || s == 417 || s == 431 || s == 501 || s == 505);
      out.push_back("refused " + std::to_string(s));
      return out;
    }
    if (parser.status() == Status::kDone) {
      const arena::HttpRequest r = parser.take();
      FUZZ_CHECK(!r.method.empty() && !r.path.empty() && r.path[0] == '/');
      FUZZ_CHECK(r.body.size() <= limits.bodyBytes);
      out.push_back(r.method + " " + r.target + " " + r.body);
    } else {
      FUZZ_CHECK(used == piece);  // it waits for more only when it took everything
    }
  }
  out.push_back(parser.started() ? "half a request" : "between requests");
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The first byte says how many of the next bytes choose the cuts.
  if (size == 0) return 0;
  const std::size_t cutBytes = std::min<std::size_t>(data[0] % 16, size - 1);
  const std::string_view cuts(reinterpret_cast<const char*>(data) + 1, cutBytes);
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1 + cutBytes,
                               size - 1 - cutBytes);
  FUZZ_CHECK(readAll(bytes, "") == readAll(bytes, cuts.empty() ? std::string_view("\1") : cuts));
  return 0;
}
