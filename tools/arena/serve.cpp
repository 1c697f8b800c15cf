#include "serve.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <memory>
#include <string_view>
#include <vector>

#include "arena_page.h"
#include "engine_session.h"
#include "http_server.h"
#include "interrupts.h"
#include "referee.h"
#include "request_guard.h"
#include "serve_game.h"
#include "serve_json.h"

namespace arena {

namespace {

constexpr const char* kJsonType = "application/json";
// How soon a browser's event stream reconnects after losing the server.
constexpr int kReconnectMs = 1000;

// On every answer: no site may frame the page (clickjacking), and the page
// may load and connect to nothing but this server; nothing is cached, so a
// rebuilt arena serves its new page at once.
const HttpHeaders kSecurityHeaders = {
    {"X-Frame-Options", "DENY"},
    {"Content-Security-Policy",
     "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self' data:; "
     "connect-src 'self'; worker-src 'self'; base-uri 'none'; form-action 'none'; "
     "frame-ancestors 'none'"},
    {"X-Content-Type-Options", "nosniff"},
    {"Referrer-Policy", "no-referrer"},
    {"Cross-Origin-Resource-Policy", "same-origin"},
    {"Cache-Control", "no-store"},
};

// The files of the page, built into the binary.
struct PageFile {
  std::string_view path;
  std::string_view text;
  const char* type;
};
const PageFile kPageFiles[] = {
    {"/", kBoardPage, "text/html; charset=utf-8"},
    {"/page.js", kPageScript, "text/javascript; charset=utf-8"},
    {"/board.js", kBoardScript, "text/javascript; charset=utf-8"},
    {"/notation.js", kNotationScript, "text/javascript; charset=utf-8"},
    {"/board.css", kBoardStyle, "text/css; charset=utf-8"},
    {"/events-worker.js", kEventsWorker, "text/javascript; charset=utf-8"},
};

const std::string_view kGetPaths[] = {"/api/state", "/api/events", "/api/record.psq",
                                      "/api/record.sgf"};
const std::string_view kPostPaths[] = {"/api/new", "/api/move", "/api/undo", "/api/resign",
                                       "/api/hint"};

HttpResponse jsonAnswer(int status, std::string body) {
  HttpResponse r;
  r.status = status;
  r.contentType = kJsonType;
  r.body = std::move(body);
  return r;
}

HttpResponse refusal(int status, const std::string& message) {
  return jsonAnswer(status, jsonError(message));
}

std::string eventText(const std::string& state) {
  return "data: " + state + "\n\n";
}

// Answers the page's requests; runs on the server's thread.
class BoardSite {
 public:
  BoardSite(LiveGame& game, const RequestGuard& guard, int port)
      : game(game), guard(guard), port(std::to_string(port)) {}

  HttpResponse handle(const HttpRequest& request) {
    if (!guard.hostAllowed(request)) {
      return refusal(kMisdirectedRequest, "this server answers to 127.0.0.1:" + port +
                                              " or localhost:" + port +
                                              " (or the address it "
                                              "listens on), not to the Host of this request");
    }
    const std::string_view path = request.path;
    const auto known = [&](const auto& paths) {
      return std::find(std::begin(paths), std::end(paths), path) != std::end(paths);
    };
    const bool get =
        known(kGetPaths) || std::any_of(std::begin(kPageFiles), std::end(kPageFiles),
                                        [&](const PageFile& f) { return f.path == path; });
    const bool post = known(kPostPaths);
    if (!get && !post) {
      return refusal(kNotFound,
                     "no such page: the API is /api/state, /api/events, /api/new, "
                     "/api/move, /api/undo, /api/resign, /api/hint");
    }
    if (request.method != (get ? "GET" : "POST")) {
      HttpResponse r = refusal(
          kMethodNotAllowed, std::string("use ") + (get ? "GET" : "POST") + " for " + request.path);
      r.headers.emplace_back("Allow", get ? "GET" : "POST");
      return r;
    }
    return get ? read(path) : change(request);
  }

  // The state for the event streams, when it has changed since the last.
  bool news(std::string& event) {
    long long version = 0;
    const std::string state = game.state(&version);
    if (version == sentVersion) return false;
    sentVersion = version;
    event = eventText(state);
    return true;
  }

 private:
  HttpResponse read(std::string_view path) {
    for (const PageFile& f : kPageFiles) {
      if (f.path != path) continue;
      HttpResponse r;
      r.contentType = f.type;
      r.body = f.text;
      return r;
    }
    if (path == "/api/state") return jsonAnswer(kOk, game.state());
    if (path == "/api/events") {
      HttpResponse r;
      r.contentType = "text/event-stream; charset=utf-8";
      r.body = "retry: " + std::to_string(kReconnectMs) + "\n" + eventText(game.state());
      r.eventStream = true;
      return r;
    }
    const bool sgf = path == "/api/record.sgf";
    std::string text, fileName;
    if (!game.recordText(sgf, text, fileName)) return jsonAnswer(kConflict, text);
    HttpResponse r;
    r.contentType = "text/plain; charset=utf-8";
    r.body = std::move(text);
    r.headers.emplace_back("Content-Disposition", "attachment; filename=\"" + fileName + "\"");
    return r;
  }

  HttpResponse change(const HttpRequest& request) {
    if (!guard.sameOrigin(request)) {
      return refusal(kForbidden, "a page of another site may not change the game");
    }
    const std::string* type = request.header("content-type");
    if (type == nullptr || type->rfind(kJsonType, 0) != 0) {
      return refusal(kUnsupportedMediaType, "send the body as application/json");
    }
    Json body;
    std::string error;
    if (!parseRequestBody(request.body, body, error)) return refusal(kBadRequest, error);
    const std::string_view path = request.path;
    const PageAnswer a = path == "/api/new"      ? game.newGame(body)
                         : path == "/api/move"   ? game.move(body)
                         : path == "/api/undo"   ? game.undo()
                         : path == "/api/resign" ? game.resign()
                                                 : game.hint();
    return jsonAnswer(a.status, a.body);
  }

  LiveGame& game;
  const RequestGuard& guard;
  std::string port;
  long long sentVersion = 0;
};

// Ends the brains that were started; a brain stuck in a reply is killed.
void finishAll(std::vector<std::unique_ptr<EngineSession>>& engines) {
  cancelRunningGames();
  for (auto& engine : engines) engine->finish();
}

}  // namespace

int serveBoardPage(const ArenaOptions& options, const std::string engineFolders[2]) {
  // Step 1. The first Ctrl-C or SIGTERM stops the server from now on, also
  // while a brain starts. Bind the address before any brain runs.
  cancelOnFirstInterrupt();
  HttpServerSettings settings;
  settings.limits.bodyBytes = kMaxBodyBytes;
  settings.commonHeaders = kSecurityHeaders;
  settings.refusal = refusal;
  HttpServer server(settings);
  std::string error;
  if (!server.listen(options.listenAddress, options.servePort, error)) {
    std::fprintf(stderr, "velmaro-arena: %s\n", error.c_str());
    return 2;
  }

  // Step 2. Start the brains once for the whole session; each game begins
  // with START, and a brain that died is started again, as in matches. One
  // that cannot start at all ends the server here.
  std::vector<std::unique_ptr<EngineSession>> owned;
  std::vector<EngineSession*> engines;
  for (std::size_t e = 0; e < options.engines.size() && !gamesCancelled(); ++e) {
    owned.push_back(std::make_unique<EngineSession>(
        static_cast<int>(e), options.engines[e], engineFolders[e], false, options.engineInfo[e]));
    EngineSession& engine = *owned.back();
    if (!engine.ensureRunning() && !gamesCancelled()) {
      std::fprintf(stderr, "velmaro-arena: engine %zu (%s) cannot start: %s\n", e + 1,
                   engine.command.c_str(), engine.startFailure().c_str());
      finishAll(owned);
      return 2;
    }
    engines.push_back(&engine);
  }
  if (gamesCancelled()) {
    finishAll(owned);
    return 0;
  }

  // Step 3. The game, whose every change wakes the server to send it to the
  // pages' event streams.
  MatchRules rules;
  rules.size = options.size;
  rules.turnMs = options.turnMs;
  rules.matchMs = options.matchMs;
  rules.toleranceMs = options.toleranceMs;
  rules.maxMemory = options.maxMemory;
  // The hint brain plays the person's side, in the person's data folder.
  LiveGame game(engines, rules, engineFolders[kPersonSeat], options.engineInfo[0]);
  game.setListener([&server] { server.wake(); });
  RequestGuard guard(options.listenAddress, server.port());
  BoardSite site(game, guard, server.port());

  // Step 4. Announce the address and serve until a stop.
  game.start();
  const bool ipv6 = options.listenAddress.find(':') != std::string::npos;
  std::printf("velmaro-arena: the board page is at http://%s%s%s:%d/ (Ctrl-C stops it)\n",
              ipv6 ? "[" : "", options.listenAddress.c_str(), ipv6 ? "]" : "", server.port());
  std::fflush(stdout);
  const bool stopped = server.run(
      cancelDescriptor(), [&site](const HttpRequest& r) { return site.handle(r); },
      [&site, &server] {
        std::string event;
        if (site.news(event)) server.broadcast(event);
      });

  // Step 5. End the worker and the brains: the waits for them end at once.
  cancelRunningGames();
  game.stop();
  finishAll(owned);
  if (!stopped) std::fprintf(stderr, "velmaro-arena: the server failed\n");
  return stopped ? 0 : 2;
}

}  // namespace arena
