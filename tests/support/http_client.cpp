#include "http_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <sstream>

#include "child_process.h"

namespace testing_support {

HttpConnection::HttpConnection(int port) {
  fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd);
    fd = -1;
  }
}

HttpConnection::~HttpConnection() {
  if (fd >= 0) close(fd);
}

bool HttpConnection::send(const std::string& bytes) {
  std::size_t done = 0;
  while (fd >= 0 && done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return fd >= 0;
}

bool HttpConnection::fill(long long deadline) {
  for (;;) {
    if (fd < 0) return false;
    // A deadline already passed still looks once at what has arrived.
    const long long left = std::max(0LL, deadline - tools::nowMs());
    pollfd p = {fd, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(left));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 || (r == 0 && left == 0)) return false;
    if (r == 0) continue;
    char chunk[65536];
    const ssize_t n = recv(fd, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {  // the server closed the connection
      close(fd);
      fd = -1;
      return false;
    }
    buffer.append(chunk, static_cast<std::size_t>(n));
    return true;
  }
}

bool HttpConnection::readReply(HttpReply& reply, int timeoutMs) {
  reply = HttpReply();
  const long long deadline = tools::nowMs() + timeoutMs;
  std::size_t end;
  while ((end = buffer.find("\r\n\r\n")) == std::string::npos)
    if (!fill(deadline)) return false;
  std::istringstream head(buffer.substr(0, end + 2));  // each line with its CR LF
  buffer.erase(0, end + 4);
  std::string line;
  std::getline(head, line);
  if (std::sscanf(line.c_str(), "HTTP/1.1 %d", &reply.status) != 1) return false;
  while (std::getline(head, line)) {
    line.pop_back();  // the CR
    const std::size_t colon = line.find(':');
    std::string name = line.substr(0, colon);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    reply.headers[name] = line.substr(std::min(line.size(), colon + 2));
  }
  // The body: Content-Length bytes; an event stream has none.
  if (reply.header("content-length").empty()) return true;
  const std::size_t length = std::stoul(reply.header("content-length"));
  while (buffer.size() < length) {
    if (!fill(deadline)) {
      reply.status = 0;
      return false;
    }
  }
  reply.body = buffer.substr(0, length);
  buffer.erase(0, length);
  return true;
}

bool HttpConnection::readEvent(std::string& data, int timeoutMs) {
  const long long deadline = tools::nowMs() + timeoutMs;
  data.clear();
  while (data.empty()) {  // comments and `retry:` alone carry no state
    std::size_t end;
    while ((end = buffer.find("\n\n")) == std::string::npos)
      if (!fill(deadline)) return false;
    std::istringstream event(buffer.substr(0, end + 1));
    buffer.erase(0, end + 2);
    for (std::string line; std::getline(event, line);)
      if (line.starts_with("data: ")) data += line.substr(6);
  }
  return true;
}

bool HttpConnection::closedWithin(int timeoutMs) {
  const long long deadline = tools::nowMs() + timeoutMs;
  while (fill(deadline)) buffer.clear();
  return fd < 0;
}

std::string requestText(const std::string& method, const std::string& path, int port,
                        const std::string& body, const std::vector<std::string>& headers) {
  const auto given = [&](const std::string& name) {
    return std::ranges::any_of(headers, [&](const std::string& h) { return h.starts_with(name); });
  };
  std::string text = method + " " + path + " HTTP/1.1\r\n";
  if (!given("Host:")) text += "Host: 127.0.0.1:" + std::to_string(port) + "\r\n";
  for (const std::string& h : headers)
    if (h != "Host:") text += h + "\r\n";
  if (!body.empty() || method == "POST") {
    if (!given("Content-Type:")) text += "Content-Type: application/json\r\n";
    if (!given("Transfer-Encoding:") && !given("Content-Length:"))
      text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  }
  return text + "\r\n" + body;
}

std::string chunked(const std::string& body, std::size_t chunk) {
  std::string out;
  char size[32];
  for (std::size_t at = 0; at < body.size(); at += chunk) {
    const std::string piece = body.substr(at, chunk);
    std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
    out += size + piece + "\r\n";
  }
  return out + "0\r\n\r\n";
}

}  // namespace testing_support
