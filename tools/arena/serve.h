// velmaro-arena --serve: the board page. An HTTP server (cpp-httplib) on the
// address of --listen, by default this machine only, that serves one HTML
// page, embedded into the binary at build time, and a small JSON API over
// one LiveGame:
//
//   GET  /                 the page
//   GET  /api/state?since=V   the state; with `since` equal to the current
//                          version it waits (up to 20 s) for a change
//   POST /api/new   {"colour":"black"|"white"}   a new game
//   POST /api/move  {"x":7,"y":7}                the person's stone
//   POST /api/undo  {}     takes back the person's last stone and the reply
//   GET  /api/record.psq, /api/record.sgf   the finished game's record
//
// POST bodies are JSON (Content-Type application/json, which a page of
// another site cannot send without the server's consent) of at most
// kMaxBodyBytes. A refused request gets a 4xx answer {"error": "..."} and
// changes nothing.
#pragma once

#include <string>

#include "options.h"

namespace arena {

constexpr int kMaxBodyBytes = 4096;
constexpr int kLongPollMs = 20000;
// Worker threads for requests: each page holds one in a long poll, and a
// browser keeps a few idle connections open per page.
constexpr int kHttpThreads = 32;

// Serves until SIGINT or SIGTERM; returns the exit code.
int serveBoardPage(const ArenaOptions& options, const std::string engineFolders[2]);

}  // namespace arena
