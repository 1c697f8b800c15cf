#include "http_server.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "child_process.h"
#include "http_status.h"

namespace arena {

namespace {

constexpr std::size_t kReadChunk = 16384;
constexpr int kListenBacklog = 128;
// New connections taken per round, so that a flood of them cannot keep the
// loop from the ones it has.
constexpr int kAcceptsPerRound = 64;
// The longest poll() wait: deadlines are looked at least this often.
constexpr int kMaxWaitMs = 1000;
constexpr long long kNever = -1;

bool wouldBlock() {
  return errno == EAGAIN || errno == EWOULDBLOCK;
}

}  // namespace

struct HttpServer::Connection {
  Connection(int fd, const HttpLimits& limits, long long now)
      : fd(fd), parser(limits), idleSince(now), lastActivity(now) {}
  ~Connection() { shut(); }
  void shut() {
    if (fd >= 0) ::close(fd);
    fd = -1;
    closed = true;
  }
  bool pending() const { return sent < output.size(); }

  int fd;
  HttpRequestParser parser;
  std::string input;   // read and not yet given to the parser
  std::string output;  // to be sent, from `sent` on
  std::size_t sent = 0;
  bool stream = false;         // an event stream: only written to from now on
  bool continueSent = false;   // "100 Continue" went out for the current request
  bool closeWhenSent = false;  // the last answer: linger, then close
  bool lingering = false;      // reading and dropping input until lingerUntil
  bool closed = false;
  long long idleSince;         // accepted, or the last answer queued
  long long requestSince = 0;  // the current request's first byte
  long long lastProgress = 0;  // the last byte sent while output waits
  long long lingerUntil = 0;
  long long lastActivity;  // any byte in or out: who is pushed out first
};

HttpServer::HttpServer(HttpServerSettings settings) : settings(std::move(settings)) {
  if (pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) wakePipe[0] = wakePipe[1] = -1;
}

HttpServer::~HttpServer() {
  connections.clear();
  for (int fd : {listenFd, wakePipe[0], wakePipe[1]}) {
    if (fd >= 0) ::close(fd);
  }
}

bool HttpServer::listen(const std::string& address, int port, std::string& error) {
  addrinfo hints = {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE;
  addrinfo* found = nullptr;
  const int lookup = getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &found);
  if (lookup != 0) {
    error = "cannot serve on " + address + ": " + gai_strerror(lookup);
    return false;
  }
  std::string why = "no address";
  for (addrinfo* a = found; a != nullptr && listenFd < 0; a = a->ai_next) {
    const int fd = socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
      why = std::strerror(errno);
      continue;
    }
    const int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, a->ai_addr, a->ai_addrlen) != 0 || ::listen(fd, kListenBacklog) != 0) {
      why = std::strerror(errno);
      ::close(fd);
      continue;
    }
    listenFd = fd;
  }
  freeaddrinfo(found);
  if (listenFd < 0) {
    error = "cannot serve on " + address + " port " + std::to_string(port) + ": " + why;
    return false;
  }
  sockaddr_storage bound = {};
  socklen_t length = sizeof bound;
  getsockname(listenFd, reinterpret_cast<sockaddr*>(&bound), &length);
  boundPort = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  return true;
}

void HttpServer::wake() {
  const char byte = 0;
  // A full pipe already holds a wake-up: nothing is lost.
  [[maybe_unused]] const ssize_t written = write(wakePipe[1], &byte, 1);
}

bool HttpServer::run(int stopFd, const Handler& requestHandler,
                     const std::function<void()>& onWake) {
  if (listenFd < 0 || wakePipe[0] < 0) return false;
  handler = &requestHandler;
  nextHeartbeat = tools::nowMs() + settings.heartbeatMs;
  std::vector<pollfd> fds;
  std::vector<Connection*> polled;
  for (;;) {
    // Step 1. What each descriptor waits for, and until when.
    fds.assign({{stopFd, POLLIN, 0}, {wakePipe[0], POLLIN, 0}, {listenFd, POLLIN, 0}});
    polled.clear();
    long long now = tools::nowMs();
    long long wait = std::min<long long>(kMaxWaitMs, std::max(0LL, nextHeartbeat - now));
    for (const auto& c : connections) {
      const short events = c->pending() ? POLLOUT : POLLIN;
      fds.push_back({c->fd, events, 0});
      polled.push_back(c.get());
      const long long due = deadline(*c);
      if (due != kNever) wait = std::min(wait, std::max(0LL, due - now));
    }
    if (poll(fds.data(), fds.size(), static_cast<int>(wait)) < 0) {
      if (errno == EINTR) continue;
      return false;
    }

    // Step 2. A stop (every connection and the port close at once, so that
    // nobody waits for a server that is going), news for the streams, then
    // the connections' traffic.
    if (fds[0].revents != 0) {
      connections.clear();
      ::close(listenFd);
      listenFd = -1;
      return true;
    }
    if ((fds[1].revents & POLLIN) != 0) {
      char drain[64];
      while (read(wakePipe[0], drain, sizeof drain) > 0) {
      }
      onWake();
    }
    for (std::size_t i = 0; i < polled.size(); ++i) {
      Connection& c = *polled[i];
      const short got = fds[i + 3].revents;
      if (c.closed || got == 0) continue;
      if ((got & POLLIN) != 0 || ((got & (POLLHUP | POLLERR)) != 0 && !c.pending())) {
        readFrom(c);
      } else if ((got & (POLLHUP | POLLERR)) != 0) {
        c.shut();
      }
      if (!c.closed && (got & POLLOUT) != 0) {
        flush(c);
        process(c);  // requests that came in behind the answer just sent
      }
    }
    if ((fds[2].revents & POLLIN) != 0) accept();

    // Step 3. Deadlines, the streams' heartbeat, and the closed connections go.
    now = tools::nowMs();
    for (const auto& c : connections) expire(*c, now);
    if (now >= nextHeartbeat) {
      broadcast(": \n\n");
      nextHeartbeat = now + settings.heartbeatMs;
    }
    std::erase_if(connections, [](const auto& c) { return c->closed; });
  }
}

void HttpServer::accept() {
  for (int i = 0; i < kAcceptsPerRound; ++i) {
    const int fd = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      // Out of descriptors: free one for the next round.
      if (errno == EMFILE || errno == ENFILE) makeRoom();
      return;
    }
    std::size_t open = 0;
    for (const auto& c : connections) open += c->closed ? 0 : 1;
    if (open >= settings.maxConnections) makeRoom();
    open = 0;
    for (const auto& c : connections) open += c->closed ? 0 : 1;
    if (open >= settings.maxConnections) {
      ::close(fd);
      continue;
    }
    const int on = 1;
    // An answer is one small write: sent at once, not held back for an ACK.
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    connections.push_back(std::make_unique<Connection>(fd, settings.limits, tools::nowMs()));
  }
}

void HttpServer::makeRoom() {
  Connection* quietest = nullptr;
  for (const auto& c : connections) {
    if (c->closed || c->stream) continue;
    if (quietest == nullptr || c->lastActivity < quietest->lastActivity) quietest = c.get();
  }
  if (quietest != nullptr) quietest->shut();
}

void HttpServer::readFrom(Connection& c) {
  char buffer[kReadChunk];
  const ssize_t n = recv(c.fd, buffer, sizeof buffer, 0);
  if (n < 0 && (wouldBlock() || errno == EINTR)) return;
  if (n <= 0) {
    // The client is gone, or has shut its side: a request it has not
    // finished sending never will be, and every answer has gone out.
    c.shut();
    return;
  }
  c.lastActivity = tools::nowMs();
  // A lingering connection's input, and anything sent on a stream, is dropped.
  if (c.lingering || c.stream) return;
  c.input.append(buffer, static_cast<std::size_t>(n));
  process(c);
}

void HttpServer::process(Connection& c) {
  while (!c.closed && !c.lingering && !c.stream && !c.pending() && !c.input.empty()) {
    const bool wasStarted = c.parser.started();
    c.input.erase(0, c.parser.feed(c.input));
    if (!wasStarted && c.parser.started()) c.requestSince = tools::nowMs();
    switch (c.parser.status()) {
      case HttpRequestParser::Status::kFailed:
        refuse(c, c.parser.errorStatus(), c.parser.errorMessage());
        return;
      case HttpRequestParser::Status::kNeedMore:
        if (c.parser.wantsContinue() && !c.continueSent) {
          c.continueSent = true;
          c.output +=
              "HTTP/1.1 " + std::to_string(kContinue) + " " + reasonPhrase(kContinue) + "\r\n\r\n";
          c.lastProgress = tools::nowMs();
          flush(c);
        }
        return;
      case HttpRequestParser::Status::kDone: {
        const HttpRequest request = c.parser.take();
        c.continueSent = false;
        c.requestSince = 0;
        answer(c, (*handler)(request), !request.keepAlive());
        break;
      }
    }
  }
}

void HttpServer::answer(Connection& c, const HttpResponse& response, bool close) {
  std::string head =
      "HTTP/1.1 " + std::to_string(response.status) + " " + reasonPhrase(response.status) + "\r\n";
  if (!response.contentType.empty()) head += "Content-Type: " + response.contentType + "\r\n";
  const HttpHeaders* lists[] = {&settings.commonHeaders, &response.headers};
  for (const HttpHeaders* headers : lists) {
    for (const auto& [name, value] : *headers) head += name + ": " + value + "\r\n";
  }
  if (response.eventStream) {
    // No length: the stream's events follow until one side closes it.
    c.stream = true;
    c.input.clear();
  } else {
    head += "Content-Length: " + std::to_string(response.body.size()) + "\r\n";
    if (close) head += "Connection: close\r\n";
    c.closeWhenSent = close;
  }
  const long long now = tools::nowMs();
  if (!c.pending()) c.lastProgress = now;
  c.idleSince = now;
  c.output += head + "\r\n" + response.body;
  flush(c);
}

void HttpServer::refuse(Connection& c, int status, const std::string& message) {
  answer(c, settings.refusal(status, message), true);
}

void HttpServer::flush(Connection& c) {
  while (c.pending()) {
    const ssize_t n = send(c.fd, c.output.data() + c.sent, c.output.size() - c.sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && wouldBlock()) break;
    if (n < 0) {
      c.shut();
      return;
    }
    c.sent += static_cast<std::size_t>(n);
    c.lastProgress = c.lastActivity = tools::nowMs();
  }
  if (c.pending()) {
    if (c.stream && c.output.size() - c.sent > settings.maxStreamBacklog) c.shut();
    return;
  }
  c.output.clear();
  c.sent = 0;
  if (c.closeWhenSent && !c.lingering) {
    // Shut our side, then read and drop what the client still sends for a
    // while, so that it reads the answer instead of a reset.
    shutdown(c.fd, SHUT_WR);
    c.lingering = true;
    c.lingerUntil = tools::nowMs() + settings.lingerMs;
  }
}

void HttpServer::broadcast(const std::string& event) {
  for (const auto& c : connections) {
    if (c->closed || !c->stream) continue;
    if (!c->pending()) c->lastProgress = tools::nowMs();
    c->output += event;
    flush(*c);
  }
}

long long HttpServer::deadline(const Connection& c) const {
  if (c.closed) return kNever;
  if (c.lingering) return c.lingerUntil;
  if (c.pending()) return c.lastProgress + settings.writeMs;
  if (c.stream) return kNever;
  if (c.parser.started()) return c.requestSince + settings.requestMs;
  return c.idleSince + settings.idleMs;
}

void HttpServer::expire(Connection& c, long long now) {
  const long long due = deadline(c);
  if (due != kNever && now >= due) c.shut();
}

}  // namespace arena
