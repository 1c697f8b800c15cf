// RequestGuard: which requests the board page's server takes as coming from
// its own page. Two ways for another site to drive the server are closed:
//
// - DNS rebinding: a page of another site whose name is made to resolve to
//   this machine reaches the server with that name in its Host header. So
//   Host must name this server: the address it listens on (any address of
//   the machine when it listens on all of them: an IP literal, or the
//   machine's own name), or localhost, with the port it listens on.
// - A page of another site that sends a request to this one: browsers name
//   the sending page in Origin (and in Sec-Fetch-Site), so a request that
//   changes the game is refused unless Origin is the server's own,
//   http:// and the Host of the request. Programs that send no Origin at all
//   (curl, the tests) are not browsers acting for another site.
#pragma once

#include <set>
#include <string>

#include "http_request.h"

namespace arena {

class RequestGuard {
 public:
  RequestGuard(const std::string& listenAddress, int port);

  // Exactly one Host header, naming this server and its port.
  bool hostAllowed(const HttpRequest& request) const;
  // No sign of a page of another origin: at most one Origin, equal to the
  // server's own, and no Sec-Fetch-Site other than same-origin or none.
  bool sameOrigin(const HttpRequest& request) const;

 private:
  std::set<std::string> names;  // hosts accepted in Host, lower case, IP literals canonical
  bool anyAddress = false;      // listening on every address: any IP literal is this server
  int port;
};

}  // namespace arena
