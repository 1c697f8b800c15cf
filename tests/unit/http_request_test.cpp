// The board page's request reader.
#include "http_request.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace {

using namespace arena;
using Status = HttpRequestParser::Status;
using namespace std::string_literals;

// The reader fed a request whole, or one byte at a time: "done" and the body, "more", or "failed"
// and the status, each with the bytes taken, and whether the connection closes after a request
// read.
std::string read(const std::string& text, bool byteByByte) {
  HttpRequestParser parser{HttpLimits()};
  std::size_t used = 0;
  if (byteByByte) {
    while (used < text.size() && parser.status() == Status::kNeedMore)
      used += parser.feed(std::string_view(text).substr(used, 1));
  } else {
    used = parser.feed(text);
  }
  const std::string taken = " after " + std::to_string(used);
  if (parser.status() == Status::kFailed)
    return "failed " + std::to_string(parser.errorStatus()) + taken;
  if (parser.status() == Status::kNeedMore) return "more" + taken;
  const HttpRequest request = parser.take();
  return "done " + request.body + taken + (request.keepAlive() ? "" : ", closing");
}

// The same outcome whole and one byte at a time (a connection may deliver them so); a limit holds
// before more than it is taken: a request line without end is refused after the head limit, a
// body announced in one huge chunk or over the limit without its data taken.
TEST(HttpRequestReader, ReadsRequestsAndRefusesWhatItMust) {
  const std::string post = "POST / HTTP/1.1\r\n", chunked = "Transfer-Encoding: chunked\r\n\r\n";
  std::string headers;  // one over the limit of 64
  for (int i = 0; i < 65; ++i) headers.append("X").append(std::to_string(i)).append(": 1\r\n");
  const std::tuple<const char*, std::string, std::string> cases[] = {
      {"a GET", "GET /api/state?a=1 HTTP/1.1\r\nHost: h\r\n\r\n", "done  after 40"},
      {"a closing GET", "GET / HTTP/1.1\r\nConnection: Close\r\n\r\n", "done  after 37, closing"},
      {"HTTP/1.0", "GET / HTTP/1.0\r\n\r\n", "done  after 18, closing"},
      {"HTTP/1.0 kept alive", "GET / HTTP/1.0\r\nConnection: keep-alive\r\n\r\n", "done  after 42"},
      {"blank lines first, LF endings", "\r\n\nGET / HTTP/1.1\nHost: h\n\n", "done  after 27"},
      {"a sized body", post + "Content-Length: 2\r\n\r\n{}", "done {} after 40"},
      {"chunks, LF after one",
       post + "Transfer-Encoding: Chunked\r\n\r\n1\r\n{\n1\r\n}\r\n0\r\n\r\n", "done {} after 63"},
      {"half a head", "GET / HTTP/1.1\r\nHost: h", "more after 23"},
      {"half a body", post + "Content-Length: 3\r\n\r\n{}", "more after 40"},
      {"HTTP/2.0", "GET / HTTP/2.0\r\n\r\n", "failed 505 after 18"},
      {"no version", "GET /\r\n\r\n", "failed 400 after 9"},
      {"a fourth word", "GET / HTTP/1.1 x\r\n\r\n", "failed 400 after 20"},
      {"an absolute target", "GET http://h/ HTTP/1.1\r\n\r\n", "failed 400 after 26"},
      {"a space before the colon", "GET / HTTP/1.1\r\nHost : h\r\n\r\n", "failed 400 after 28"},
      {"a NUL in a value", "GET / HTTP/1.1\r\nX: a\0b\r\n\r\n"s, "failed 400 after 26"},
      {"65 headers", "GET / HTTP/1.1\r\n" + headers + "\r\n", "failed 431 after 528"},
      {"chunks in HTTP/1.0", "POST / HTTP/1.0\r\n" + chunked, "failed 400 after 47"},
      {"Expect something else", post + "Expect: fast\r\nContent-Length: 2\r\n\r\n{}",
       "failed 417 after 52"},
      {"a trailer over the limit", post + chunked + "0\r\nT: " + std::string(9000, 'x'),
       "failed 431 after 8243"},
      {"a chunk line over its limit", post + chunked + "1;" + std::string(300, 'x'),
       "failed 400 after 304"},
      {"a request line without end", "GET /" + std::string(100000, 'a'),
       "failed 431 after " + std::to_string(HttpLimits().headBytes + 1)},
      {"a huge chunk", post + chunked + "1001\r\n" + std::string(5000, 'x'),
       "failed 413 after " + std::to_string(post.size() + chunked.size() + 6)},
      {"a body over the limit", post + "Content-Length: 4097\r\n\r\n{", "failed 413 after 41"},
  };
  for (const auto& [what, text, expected] : cases) {
    EXPECT_EQ(read(text, false), expected) << what;
    EXPECT_EQ(read(text, true), expected) << what << ", byte by byte";
  }
}

TEST(HttpRequestReader, HeadersAndPipelinedRequests) {
  // Two requests in one delivery are read one after the other; a body that asked for
  // "100 Continue" says so until it has come.
  const std::string first = "GET /a?b=c HTTP/1.1\r\nHost:  x y \r\nX-Two: 1\r\nx-two: 2\r\n\r\n";
  const std::string second =
      "POST /d HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 2\r\n\r\n{}";
  HttpRequestParser parser{HttpLimits()};
  const std::string both = first + second;
  ASSERT_EQ(parser.feed(both), first.size());
  HttpRequest a = parser.take();
  EXPECT_EQ(a.method + "|" + a.path + "|" + a.query + "|" + *a.header("host"), "GET|/a|b=c|x y");
  EXPECT_EQ(a.headerCount("x-two"), 2);
  EXPECT_EQ(parser.feed(std::string_view(both).substr(first.size(), second.size() - 2)),
            second.size() - 2);
  EXPECT_TRUE(parser.wantsContinue());
  EXPECT_EQ(parser.feed("{}"), 2u);
  ASSERT_EQ(parser.status(), Status::kDone);
  EXPECT_FALSE(parser.wantsContinue());
  EXPECT_EQ(parser.take().body, "{}");
}

}  // namespace
