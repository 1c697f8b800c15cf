// HttpConnection: one TCP connection to a server on this machine, with every byte under the
// test's control. Every read has a deadline: a server that does not answer fails the test.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct HttpReply {
  int status = 0;                              // 0: no complete answer
  std::map<std::string, std::string> headers;  // names in lower case
  std::string body;
  std::string header(const std::string& name) const {
    return headers.contains(name) ? headers.at(name) : "";
  }
};

class HttpConnection {
 public:
  explicit HttpConnection(int port);
  ~HttpConnection();
  HttpConnection(const HttpConnection&) = delete;
  HttpConnection& operator=(const HttpConnection&) = delete;

  // False once the server no longer takes bytes.
  bool send(const std::string& bytes);
  // The next answer: its head and a body of Content-Length bytes (an event stream's: none).
  // False when none came within the time; with 0, it only looks at what has arrived.
  bool readReply(HttpReply& reply, int timeoutMs);
  // The data of the next event of an event stream whose head has been read.
  bool readEvent(std::string& data, int timeoutMs);
  // True when the server closes the connection within the time (what it sends first is dropped).
  bool closedWithin(int timeoutMs);

 private:
  // Reads more into `buffer`; false at the deadline or at the end (then the socket is closed).
  bool fill(long long deadline);

  int fd = -1;
  std::string buffer;
};

// A request's text: the Host header is "127.0.0.1:PORT" unless `headers` give one (an empty
// "Host:" is left out); a body goes with Content-Length (unless `headers` give it or
// Transfer-Encoding) and, unless `headers` give one, Content-Type application/json.
std::string requestText(const std::string& method, const std::string& path, int port,
                        const std::string& body = "", const std::vector<std::string>& headers = {});

// A body in the chunked coding, in chunks of `chunk` bytes.
std::string chunked(const std::string& body, std::size_t chunk);

}  // namespace testing_support
