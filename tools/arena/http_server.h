// HttpServer: the board page's HTTP/1.1 server. One thread runs an event
// loop (poll) over the listening socket and every connection, so that an
// open connection costs a descriptor and a few kilobytes, never a thread:
// idle, half-sent or streaming connections cannot hold up anybody else's
// request. Every request is read by HttpRequestParser under its limits and
// answered by one handler on the loop thread, which must not block.
//
// Connections end when they are idle for `idleMs` (between requests), when a
// started request is not complete within `requestMs` of its first byte
// (however slowly its bytes trickle in), when a reply makes no progress for
// `writeMs`, and after a refused request (its framing cannot be trusted):
// that reply is sent, further input is read and dropped for `lingerMs` so
// that the client sees the reply rather than a reset, and the connection
// closes. At `maxConnections` a new connection pushes out the one that has
// been quiet the longest, unless every one is an event stream.
//
// Event streams (server-sent events) are answers that stay open: the handler
// answers with `eventStream` and the first event, and broadcast() sends each
// later event to every stream. A stream whose reader falls `maxStreamBacklog`
// bytes behind is closed (its browser reconnects and gets the whole state
// again); a comment line every `heartbeatMs` finds the streams of readers
// that went away.
//
// Every answer carries `commonHeaders` (the page's security policy), also
// the refusals that the server makes by itself, whose bodies `refusal` writes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "http_request.h"

namespace arena {

using HttpHeaders = std::vector<std::pair<std::string, std::string>>;

struct HttpResponse {
  int status = 200;
  std::string contentType;  // empty: no Content-Type
  std::string body;
  HttpHeaders headers;       // beyond the common ones
  bool eventStream = false;  // the body is the first event; the stream stays open
};

struct HttpServerSettings {
  HttpLimits limits;
  int idleMs = 5000;
  int requestMs = 2000;
  int writeMs = 5000;
  int lingerMs = 1000;
  int heartbeatMs = 15000;
  std::size_t maxConnections = 256;
  std::size_t maxStreamBacklog = 256 * 1024;
  HttpHeaders commonHeaders;
  // The answer to a request the server refuses itself (bad framing, a body
  // over the limit): status and reason.
  std::function<HttpResponse(int status, const std::string& message)> refusal;
};

class HttpServer {
 public:
  using Handler = std::function<HttpResponse(const HttpRequest&)>;

  explicit HttpServer(HttpServerSettings settings);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds `address` (a numeric address or a host name) and `port` (0: any
  // free port) and listens. False with the reason in `error`.
  bool listen(const std::string& address, int port, std::string& error);
  int port() const { return boundPort; }

  // Serves until `stopFd` becomes readable, answering every request with
  // `handler`; calls `onWake` on this thread after every wake(). At the stop
  // every connection and the listening socket are closed. Returns false
  // when the loop itself failed.
  bool run(int stopFd, const Handler& handler, const std::function<void()>& onWake);
  // Any thread: has run() call onWake soon.
  void wake();
  // On run()'s thread: sends `event` (whole event lines) to every stream.
  void broadcast(const std::string& event);

 private:
  struct Connection;

  void accept();
  void makeRoom();
  void readFrom(Connection& c);
  void process(Connection& c);
  void answer(Connection& c, const HttpResponse& response, bool close);
  void flush(Connection& c);
  void refuse(Connection& c, int status, const std::string& message);
  void expire(Connection& c, long long now);
  long long deadline(const Connection& c) const;

  HttpServerSettings settings;
  const Handler* handler = nullptr;  // during run()
  int listenFd = -1;
  int boundPort = 0;
  int wakePipe[2] = {-1, -1};
  std::vector<std::unique_ptr<Connection>> connections;
  long long nextHeartbeat = 0;
};

}  // namespace arena
