#include "request_guard.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>

namespace arena {

namespace {

constexpr int kDefaultHttpPort = 80;

std::string lowerCase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The canonical text of an IP literal as it appears in a Host header
// ("127.0.0.1", "[::1]"), or empty for anything else.
std::string canonicalAddress(const std::string& host) {
  char text[INET6_ADDRSTRLEN] = {};
  in_addr v4;
  in6_addr v6;
  if (inet_pton(AF_INET, host.c_str(), &v4) == 1) {
    return inet_ntop(AF_INET, &v4, text, sizeof text) ? text : "";
  }
  if (host.size() > 2 && host.front() == '[' && host.back() == ']' &&
      inet_pton(AF_INET6, host.substr(1, host.size() - 2).c_str(), &v6) == 1) {
    if (inet_ntop(AF_INET6, &v6, text, sizeof text) == nullptr) return "";
    std::string bracketed(1, '[');
    bracketed.append(text).push_back(']');
    return bracketed;
  }
  return "";
}

}  // namespace

RequestGuard::RequestGuard(const std::string& listenAddress, int port) : port(port) {
  names.insert("localhost");
  const std::string address = lowerCase(listenAddress);
  const bool v6 = address.find(':') != std::string::npos;
  const std::string asHost = v6 ? "[" + address + "]" : address;
  const std::string literal = canonicalAddress(asHost);
  anyAddress = literal == "0.0.0.0" || literal == "[::]";
  if (anyAddress) {
    // Its own name, as a machine on the network is reached by it.
    char own[256] = {};
    if (gethostname(own, sizeof own - 1) == 0 && own[0] != '\0') {
      names.insert(lowerCase(own));
      names.insert(lowerCase(own) + ".local");
    }
  } else {
    names.insert(literal.empty() ? address : literal);
  }
  if (address == "localhost") {
    names.insert("127.0.0.1");
    names.insert("[::1]");
  }
}

bool RequestGuard::hostAllowed(const HttpRequest& request) const {
  if (request.headerCount("host") != 1) return false;
  const std::string value = lowerCase(*request.header("host"));
  // Step 1. Split host and port: "name:port", "1.2.3.4:port", "[v6]:port".
  std::size_t colon = std::string::npos;
  if (!value.empty() && value.front() == '[') {
    const std::size_t close = value.find(']');
    if (close == std::string::npos) return false;
    if (close + 1 < value.size()) {
      if (value[close + 1] != ':') return false;
      colon = close + 1;
    }
  } else {
    colon = value.rfind(':');
  }
  const std::string host = value.substr(0, colon);
  int given = kDefaultHttpPort;
  if (colon != std::string::npos) {
    const std::string digits = value.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return false;
    }
    given = std::stoi(digits);
  }
  if (given != port) return false;

  // Step 2. The host: one of the names, or an address of this machine.
  const std::string literal = canonicalAddress(host);
  if (!literal.empty()) return names.count(literal) > 0 || anyAddress;
  return names.count(host) > 0;
}

bool RequestGuard::sameOrigin(const HttpRequest& request) const {
  const int origins = request.headerCount("origin");
  if (origins > 1) return false;
  if (origins == 1) {
    const std::string* host = request.header("host");
    if (host == nullptr || lowerCase(*request.header("origin")) != "http://" + lowerCase(*host)) {
      return false;
    }
  }
  if (const std::string* site = request.header("sec-fetch-site")) {
    const std::string s = lowerCase(*site);
    if (s != "same-origin" && s != "none") return false;
  }
  return true;
}

}  // namespace arena
