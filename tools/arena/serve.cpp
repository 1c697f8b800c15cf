#include "serve.h"

#include <httplib.h>
#include <signal.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "arena_page.h"
#include "engine_session.h"
#include "referee.h"
#include "serve_game.h"
#include "serve_json.h"

namespace arena {

namespace {

constexpr const char* kJsonType = "application/json";

// SIGINT and SIGTERM write a byte here; a thread waits for it and stops the
// server (a signal handler itself may do little more than write).
int stopPipe[2] = {-1, -1};

void onStopSignal(int) {
  const char byte = 0;
  [[maybe_unused]] ssize_t written = write(stopPipe[1], &byte, 1);
}

void answer(httplib::Response& res, const PageAnswer& a) {
  res.status = a.status;
  res.set_content(a.body, kJsonType);
}

void refuse(httplib::Response& res, int status, const std::string& message) {
  res.status = status;
  res.set_content(jsonError(message), kJsonType);
}

// The body of a POST as an object, or false after refusing the request.
bool readBody(const httplib::Request& req, httplib::Response& res, JsonObject& body) {
  if (req.get_header_value("Content-Type").rfind(kJsonType, 0) != 0) {
    refuse(res, kUnsupportedMediaType, "send the body as application/json");
    return false;
  }
  std::string error;
  if (!parseFlatObject(req.body, body, error)) {
    refuse(res, kBadRequest, error);
    return false;
  }
  return true;
}

std::string errorText(int status) {
  switch (status) {
    case kNotFound:
      return "no such page: the API is /api/state, /api/new, /api/move, /api/undo";
    case kMethodNotAllowed:
      return "this method is not allowed here";
    case kPayloadTooLarge:
      return "the request body is larger than " + std::to_string(kMaxBodyBytes) + " bytes";
    default:
      return "bad request (HTTP " + std::to_string(status) + ")";
  }
}

void addRoutes(httplib::Server& server, LiveGame& game) {
  server.Get("/", [](const httplib::Request&, httplib::Response& res) {
    res.set_header("Cache-Control", "no-store");
    res.set_content(kBoardPage, sizeof kBoardPage - 1, "text/html; charset=utf-8");
  });
  server.Get("/api/state", [&game](const httplib::Request& req, httplib::Response& res) {
    long long since = -1;
    if (req.has_param("since")) {
      const std::string text = req.get_param_value("since");
      auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), since);
      if (ec != std::errc() || end != text.data() + text.size()) {
        refuse(res, kBadRequest, "since must be a version number");
        return;
      }
    }
    res.set_header("Cache-Control", "no-store");
    res.set_content(game.state(since, since < 0 ? 0 : kLongPollMs), kJsonType);
  });
  server.Post("/api/new", [&game](const httplib::Request& req, httplib::Response& res) {
    JsonObject body;
    if (readBody(req, res, body)) answer(res, game.newGame(body));
  });
  server.Post("/api/move", [&game](const httplib::Request& req, httplib::Response& res) {
    JsonObject body;
    if (readBody(req, res, body)) answer(res, game.move(body));
  });
  server.Post("/api/undo", [&game](const httplib::Request& req, httplib::Response& res) {
    JsonObject body;
    if (readBody(req, res, body)) answer(res, game.undo());
  });
  for (const bool sgf : {false, true}) {
    server.Get(sgf ? "/api/record.sgf" : "/api/record.psq",
               [&game, sgf](const httplib::Request&, httplib::Response& res) {
                 std::string text, fileName;
                 if (!game.recordText(sgf, text, fileName)) {
                   res.status = kConflict;
                   res.set_content(text, kJsonType);
                   return;
                 }
                 res.set_header("Content-Disposition", "attachment; filename=\"" + fileName + "\"");
                 res.set_content(text, "text/plain; charset=utf-8");
               });
  }
  // Statuses the library sets by itself (unknown path, body too large) get
  // a message in the same form as the API's own refusals.
  server.set_error_handler([](const httplib::Request&, httplib::Response& res) {
    if (res.body.empty()) refuse(res, res.status, errorText(res.status));
  });
}

}  // namespace

int serveBoardPage(const ArenaOptions& options, const std::string engineFolders[2]) {
  // Step 1. Start the brains once for the whole session; each game begins
  // with START, and a brain that died is started again, as in matches.
  std::vector<std::unique_ptr<EngineSession>> owned;
  std::vector<EngineSession*> engines;
  for (std::size_t e = 0; e < options.engines.size(); ++e) {
    owned.push_back(std::make_unique<EngineSession>(static_cast<int>(e), options.engines[e],
                                                    engineFolders[e], false));
    owned.back()->ensureRunning();
    engines.push_back(owned.back().get());
  }
  MatchRules rules;
  rules.size = options.size;
  rules.turnMs = options.turnMs;
  rules.matchMs = options.matchMs;
  rules.toleranceMs = options.toleranceMs;
  rules.maxMemory = options.maxMemory;
  LiveGame game(engines, rules);

  // Step 2. Bind the address before anything is announced.
  httplib::Server server;
  server.new_task_queue = [] { return new httplib::ThreadPool(kHttpThreads); };
  server.set_payload_max_length(kMaxBodyBytes);
  // A state is one small write: sent at once, not held back for an ACK.
  server.set_tcp_nodelay(true);
  addRoutes(server, game);
  int port = options.servePort;
  if (port == 0) {
    port = server.bind_to_any_port(options.listenAddress);
  } else if (!server.bind_to_port(options.listenAddress, port)) {
    port = -1;
  }
  if (port <= 0) {
    std::fprintf(stderr, "velmaro-arena: cannot serve on %s port %d\n",
                 options.listenAddress.c_str(), options.servePort);
    return 2;
  }

  // Step 3. Stop cleanly on Ctrl-C or SIGTERM: answer the waiting pages,
  // end the brains (after a move in progress), then stop the server.
  if (pipe(stopPipe) != 0) return 2;
  signal(SIGINT, onStopSignal);
  signal(SIGTERM, onStopSignal);
  std::thread stopper([&] {
    char byte = 0;
    while (read(stopPipe[0], &byte, 1) < 0) {
    }
    game.stop();
    server.stop();
  });

  // Step 4. Announce the address and serve.
  game.start();
  const bool ipv6 = options.listenAddress.find(':') != std::string::npos;
  std::printf("velmaro-arena: the board page is at http://%s%s%s:%d/ (Ctrl-C stops it)\n",
              ipv6 ? "[" : "", options.listenAddress.c_str(), ipv6 ? "]" : "", port);
  std::fflush(stdout);
  server.listen_after_bind();
  onStopSignal(0);  // the server may have ended by itself: release the stopper
  stopper.join();
  return 0;
}

}  // namespace arena
