// The board page's request reader fed whole requests, and the same bytes one
// at a time (a connection may deliver them so): the same outcome either way,
// limits that hold before more than the limit is taken, and requests that
// follow each other on one connection read one by one.
#include "http_request.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <tuple>

namespace {

using arena::HttpLimits;
using arena::HttpRequest;
using arena::HttpRequestParser;
using Status = HttpRequestParser::Status;
using namespace std::string_literals;

struct Outcome {
  Status status = Status::kNeedMore;
  int error = 0;
  std::size_t used = 0;
  bool wantedContinue = false;
  HttpRequest request;
};

Outcome read(const std::string& text, bool byteByByte) {
  HttpRequestParser parser{HttpLimits()};
  Outcome out;
  if (byteByByte) {
    while (out.used < text.size() && parser.status() == Status::kNeedMore) {
      out.used += parser.feed(std::string_view(text).substr(out.used, 1));
      out.wantedContinue = out.wantedContinue || parser.wantsContinue();
    }
  } else {
    out.used = parser.feed(text);
    out.wantedContinue = parser.wantsContinue();
  }
  out.status = parser.status();
  out.error = parser.status() == Status::kFailed ? parser.errorStatus() : 0;
  if (out.status == Status::kDone) out.request = parser.take();
  return out;
}

std::string headerLines(int count) {
  std::ostringstream lines;
  for (int i = 0; i < count; ++i) lines << "X" << i << ": 1\r\n";
  return lines.str();
}

TEST(HttpRequestReader, ReadsRequestsAndRefusesWhatItMust) {
  const std::string host = "Host: h\r\n";
  struct Case {
    const char* what;
    std::string text;
    Status status;
    int error;         // for kFailed
    std::string body;  // for kDone
  };
  const Case cases[] = {
      {"a GET", "GET /api/state?a=1 HTTP/1.1\r\n" + host + "\r\n", Status::kDone, 0, ""},
      {"blank lines first, LF endings", "\r\n\nGET / HTTP/1.1\n" + host + "\n", Status::kDone, 0,
       ""},
      {"a sized body", "POST / HTTP/1.1\r\nContent-Length: 2\r\n\r\n{}", Status::kDone, 0, "{}"},
      {"chunks, LF after one",
       "POST / HTTP/1.1\r\nTransfer-Encoding: Chunked\r\n\r\n1\r\n{\n1\r\n}\r\n0\r\n\r\n",
       Status::kDone, 0, "{}"},
      {"half a head", "GET / HTTP/1.1\r\nHost: h", Status::kNeedMore, 0, ""},
      {"half a body", "POST / HTTP/1.1\r\nContent-Length: 3\r\n\r\n{}", Status::kNeedMore, 0, ""},
      {"HTTP/2.0", "GET / HTTP/2.0\r\n\r\n", Status::kFailed, 505, ""},
      {"no version", "GET /\r\n\r\n", Status::kFailed, 400, ""},
      {"a fourth word", "GET / HTTP/1.1 x\r\n\r\n", Status::kFailed, 400, ""},
      {"an absolute target", "GET http://h/ HTTP/1.1\r\n\r\n", Status::kFailed, 400, ""},
      {"a space before the colon", "GET / HTTP/1.1\r\nHost : h\r\n\r\n", Status::kFailed, 400, ""},
      {"a NUL in a value", "GET / HTTP/1.1\r\nX: a\0b\r\n\r\n"s, Status::kFailed, 400, ""},
      {"65 headers", "GET / HTTP/1.1\r\n" + headerLines(65) + "\r\n", Status::kFailed, 431, ""},
      {"chunks in HTTP/1.0", "POST / HTTP/1.0\r\nTransfer-Encoding: chunked\r\n\r\n",
       Status::kFailed, 400, ""},
      {"Expect something else", "POST / HTTP/1.1\r\nExpect: fast\r\nContent-Length: 2\r\n\r\n{}",
       Status::kFailed, 417, ""},
      {"a trailer over the limit",
       "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\nT: " + std::string(9000, 'x'),
       Status::kFailed, 431, ""},
      {"a chunk line over its limit",
       "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n1;" + std::string(300, 'x'),
       Status::kFailed, 400, ""},
  };
  for (const Case& c : cases) {
    for (const bool bytes : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (bytes ? ", byte by byte" : ""));
      const Outcome out = read(c.text, bytes);
      EXPECT_EQ(out.status, c.status);
      EXPECT_EQ(out.error, c.error);
      if (c.status == Status::kDone) {
        EXPECT_EQ(out.used, c.text.size());
        EXPECT_EQ(out.request.body, c.body);
      }
    }
  }
}

TEST(HttpRequestReader, TakesNoMoreThanItsLimits) {
  // A request line without end, and a body announced in one huge chunk:
  // refused after at most the head limit, the chunk's data never taken.
  const Outcome line = read("GET /" + std::string(100000, 'a'), false);
  EXPECT_EQ(line.error, 431);
  EXPECT_EQ(line.used, HttpLimits().headBytes + 1);
  const std::string head = "POST / HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n";
  const Outcome chunk = read(head + "1001\r\n" + std::string(5000, 'x'), false);
  EXPECT_EQ(chunk.error, 413);
  EXPECT_EQ(chunk.used, head.size() + 6);
  const Outcome sized = read("POST / HTTP/1.1\r\nContent-Length: 4097\r\n\r\n{", false);
  EXPECT_EQ(sized.error, 413);
}

TEST(HttpRequestReader, ConnectionsHeadersAndPipelinedRequests) {
  // Whether the connection stays open after the answer.
  const std::tuple<std::string, bool> versions[] = {
      {"HTTP/1.1", true},
      {"HTTP/1.1\r\nConnection: Close", false},
      {"HTTP/1.0", false},
      {"HTTP/1.0\r\nConnection: keep-alive", true},
  };
  for (const auto& [version, keep] : versions) {
    const Outcome out = read("GET / " + version + "\r\n\r\n", false);
    ASSERT_EQ(out.status, Status::kDone) << version;
    EXPECT_EQ(out.request.keepAlive(), keep) << version;
  }

  // Two requests in one delivery are read one after the other; a body that
  // asked for "100 Continue" says so until it has come.
  const std::string first = "GET /a?b=c HTTP/1.1\r\nHost:  x y \r\nX-Two: 1\r\nx-two: 2\r\n\r\n";
  const std::string second =
      "POST /d HTTP/1.1\r\nExpect: 100-continue\r\nContent-Length: 2\r\n\r\n{}";
  HttpRequestParser parser{HttpLimits()};
  const std::string both = first + second;
  ASSERT_EQ(parser.feed(both), first.size());
  ASSERT_EQ(parser.status(), Status::kDone);
  HttpRequest a = parser.take();
  EXPECT_EQ(a.method, "GET");
  EXPECT_EQ(a.path, "/a");
  EXPECT_EQ(a.query, "b=c");
  EXPECT_EQ(*a.header("host"), "x y");
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
