// velmaro-arena --serve: the board page. An HTTP server (HttpServer) on the
// address of --listen, by default this machine only, that serves the page
// (index.html, its scripts and style sheet, and the shared worker that
// holds one event stream for all of a browser's tabs), all embedded into
// the binary at build time, and a small JSON API over one LiveGame:
//
//   GET  /api/state        the state
//   GET  /api/events       the state now and after every change, as
//                          server-sent events (one `data:` line each)
//   POST /api/new   {"colour":"black"|"white", "size":15, "turnMs":2000,
//                    "help":true, "moves":[[7,7],[8,8]]}   a new game
//   POST /api/move  {"x":7,"y":7}                the person's stone
//   POST /api/undo  {}     takes back the person's last stone and the reply
//   POST /api/resign {}    the person gives the game up
//   POST /api/hint  {}     asks for the person's best move, not played
//   GET  /api/record.psq, /api/record.sgf   the finished game's record
//
// Only this server's own page may use it: a Host that does not name the
// server is answered 421 (DNS rebinding), a POST from another origin 403,
// and every answer forbids framing and loading anything from elsewhere (see
// RequestGuard and kSecurityHeaders). POST bodies are JSON objects
// (Content-Type application/json) of at most kMaxBodyBytes, in any transfer
// coding. A refused request gets a 4xx answer {"error": "..."} and changes
// nothing.
//
// Start and stop: the first Ctrl-C or SIGTERM, at any moment (also while a
// brain starts), stops the server: waits for brains end at once, every brain
// gets END or is killed, and the exit code is 0. A brain that cannot start
// at all stops the server before it serves, with exit code 2.
#pragma once

#include <string>

#include "options.h"

namespace arena {

constexpr int kMaxBodyBytes = 4096;

// Serves until SIGINT or SIGTERM; returns the exit code.
int serveBoardPage(const ArenaOptions& options, const std::string engineFolders[2]);

}  // namespace arena
