#include "match.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include "engine_session.h"
#include "interrupts.h"
#include "records.h"

namespace arena {

namespace {

// How often the counting thread looks for a Ctrl-C while it waits for games.
constexpr std::chrono::milliseconds kInterruptPoll{100};

// What the slots and the counting thread share; every field under `lock`.
struct Schedule {
  std::mutex lock;
  std::condition_variable changed;
  // Positions in the plan's list of games.
  int nextGame = 0;  // the game the next free slot takes
  int counted = 0;   // games 0 .. counted-1 are counted, no other
  bool noNewGames = false;
  int slots = 0;
  int slotsRunning = 0;
  int slotsReady = 0;                  // slots whose brains have started
  std::string startFailure;            // the first brain that could not start
  std::map<int, GameRecord> finished;  // played, waiting for the games before them
  std::string names[2];                // the engines' names, from slot 0
};

// Removes what the brains left in their data folder; the folder stays.
void emptyFolder(const std::string& folder) {
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    std::error_code removing;
    std::filesystem::remove_all(entry.path(), removing);
    if (removing) {
      std::fprintf(stderr, "velmaro-arena: cannot empty %s: %s\n", folder.c_str(),
                   removing.message().c_str());
      return;
    }
  }
}

// One slot: its own two brains for the whole match, game after game.
void runSlot(const MatchPlan& plan, int slot, Schedule& schedule) {
  // Step 1. Start both engines once for the match (with `fresh`, for its
  // first game, in emptied folders), and wait until every slot has: no game
  // begins while a brain may turn out unusable.
  if (plan.fresh) {
    for (const std::string& folder : plan.folders[slot]) emptyFolder(folder);
  }
  EngineSession first(0, plan.commands[0], plan.folders[slot][0], plan.rules.show,
                      plan.engineInfo[0]);
  EngineSession second(1, plan.commands[1], plan.folders[slot][1], plan.rules.show,
                       plan.engineInfo[1]);
  EngineSession* engines[2] = {&first, &second};
  std::string failure;
  for (EngineSession* engine : engines) {
    if (failure.empty() && !gamesCancelled() && !engine->ensureRunning()) {
      failure = "engine " + std::to_string(engine->index + 1) + " (" + engine->command +
                ") cannot start: " + engine->startFailure();
    }
  }
  {
    std::unique_lock<std::mutex> guard(schedule.lock);
    if (!failure.empty() && schedule.startFailure.empty()) schedule.startFailure = failure;
    ++schedule.slotsReady;
    schedule.changed.notify_all();
    schedule.changed.wait(guard, [&] {
      return schedule.slotsReady == schedule.slots || !schedule.startFailure.empty() ||
             gamesCancelled();
    });
  }

  // Step 2. Take the next game until there is none; one slot waits until
  // its last game is counted, so that a stop never breaks a game off.
  for (bool firstGame = true;; firstGame = false) {
    int position = 0;
    {
      std::unique_lock<std::mutex> guard(schedule.lock);
      auto over = [&] {
        return schedule.noNewGames || gamesCancelled() || !schedule.startFailure.empty() ||
               schedule.nextGame >= static_cast<int>(plan.games.size());
      };
      schedule.changed.wait(guard, [&] {
        return over() || plan.concurrency > 1 || schedule.counted == schedule.nextGame;
      });
      if (over()) break;
      position = schedule.nextGame++;
    }
    const int game = plan.games[position];
    if (plan.fresh && !firstGame) {
      for (EngineSession* engine : engines) engine->finish();
      for (const std::string& folder : plan.folders[slot]) emptyFolder(folder);
    }
    const int blackEngine = game % 2;
    const Opening* opening =
        plan.openings.empty()
            ? nullptr
            : &plan.openings[static_cast<std::size_t>(game / 2) % plan.openings.size()];
    if (plan.rules.show) std::printf("\nGame %d of %d\n", game + 1, plan.totalGames);
    GameRecord record = playGame(engines, game + 1, blackEngine, opening, plan.rules);
    std::lock_guard<std::mutex> guard(schedule.lock);
    // A cancelled game ended early and wrongly (its waits were cut short).
    if (!gamesCancelled()) schedule.finished.emplace(position, std::move(record));
    schedule.changed.notify_all();
  }

  // Step 3. End the engines.
  for (EngineSession* engine : engines) engine->finish();
  std::lock_guard<std::mutex> guard(schedule.lock);
  if (slot == 0) {
    schedule.names[0] = first.name;
    schedule.names[1] = second.name;
  }
  --schedule.slotsRunning;
  schedule.changed.notify_all();
}

// Counts one game, the next in game order: the tally, the records, the
// result and status lines, and the SPRT. True when the SPRT decided.
bool countGame(const MatchPlan& plan, const GameRecord& game, MatchOutcome& outcome,
               Console& console) {
  const bool pairDone = outcome.tally.addGame(halfPointsOfEngine1(game.winner));
  const int opening = plan.openings.empty()
                          ? -1
                          : pairOfGame(game.number - 1) % static_cast<int>(plan.openings.size());
  outcome.results.push_back(gameResult(game, opening));
  std::string error;
  if (!plan.psqFolder.empty() && !writePsq(plan.psqFolder, game, error)) {
    std::fprintf(stderr, "velmaro-arena: %s\n", error.c_str());
  }
  if (!plan.sgfFile.empty() && !appendSgf(plan.sgfFile, game, error)) {
    std::fprintf(stderr, "velmaro-arena: %s\n", error.c_str());
  }
  if (!plan.messagesFile.empty() && !appendMessages(plan.messagesFile, game, error)) {
    std::fprintf(stderr, "velmaro-arena: %s\n", error.c_str());
  }
  console.line(progressLine(game, plan.totalGames));
  SprtStatus& sprt = outcome.sprt;
  const bool byPairs = !plan.openings.empty();
  if (sprt.enabled && (pairDone || !byPairs)) {
    const OutcomeCounts counts =
        byPairs ? pairCounts(outcome.tally) : singleGameCounts(outcome.tally);
    sprt.llr = sprtLlr(counts, sprt.test.elo0, sprt.test.elo1);
    sprt.verdict = sprtVerdict(sprt.test, sprt.llr);
  }
  console.status(statusLine(outcome.tally, static_cast<int>(plan.games.size()), sprt));
  if (sprt.verdict == SprtVerdict::kContinue) return false;
  char text[128];
  std::snprintf(text, sizeof text, "SPRT: %s after %d games (LLR %.2f)", verdictText(sprt.verdict),
                outcome.tally.games(), sprt.llr);
  console.line(text);
  return true;
}

}  // namespace

int slotCount(const MatchPlan& plan) {
  return std::max(1, std::min(plan.concurrency, static_cast<int>(plan.games.size())));
}

MatchOutcome playMatch(const MatchPlan& plan, Console& console) {
  MatchOutcome outcome;
  outcome.sprt = plan.sprt;
  Schedule schedule;
  const int slots = slotCount(plan);
  schedule.slots = slots;
  schedule.slotsRunning = slots;

  // Step 1. Start the slots with Ctrl-C blocked in them, so that the signal
  // handler runs on this thread and the slots' waits are never interrupted.
  sigset_t interrupts, previous;
  sigemptyset(&interrupts);
  sigaddset(&interrupts, SIGINT);
  sigaddset(&interrupts, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
  std::vector<std::thread> threads;
  for (int slot = 0; slot < slots; ++slot) {
    threads.emplace_back(runSlot, std::cref(plan), slot, std::ref(schedule));
  }
  pthread_sigmask(SIG_SETMASK, &previous, nullptr);

  // Step 2. Count the games in game order as they come, and react to Ctrl-C.
  int seen = 0;
  bool decided = false;
  std::unique_lock<std::mutex> guard(schedule.lock);
  for (;;) {
    schedule.changed.wait_for(guard, kInterruptPoll, [&] {
      return (!decided && schedule.finished.count(schedule.counted) > 0) ||
             schedule.slotsRunning == 0 || interruptCount() != seen;
    });
    // Step 2a. A Ctrl-C: no new games; a second one: none of the running ones.
    const int presses = interruptCount();
    if (presses != seen) {
      if (seen == 0 && presses == 1) {
        console.line(
            "Ctrl-C: no new games; the running ones finish (Ctrl-C again breaks them off)");
      }
      if (seen < 2 && presses >= 2) {
        console.line("Stopping: the running games are broken off and not counted");
      }
      seen = presses;
      schedule.noNewGames = true;
      if (!decided) outcome.end = MatchEnd::kInterrupted;
    }
    // Step 2b. Count the finished games that follow the counted ones.
    while (!decided) {
      auto next = schedule.finished.find(schedule.counted);
      if (next == schedule.finished.end()) break;
      const GameRecord game = std::move(next->second);
      schedule.finished.erase(next);
      ++schedule.counted;
      guard.unlock();
      decided = countGame(plan, game, outcome, console);
      guard.lock();
      if (decided) {
        schedule.noNewGames = true;
        outcome.end = MatchEnd::kSprt;
        if (schedule.nextGame > schedule.counted) cancelRunningGames();
      }
    }
    schedule.changed.notify_all();
    if (schedule.slotsRunning == 0 && (decided || schedule.finished.count(schedule.counted) == 0)) {
      break;
    }
  }
  outcome.names[0] = schedule.names[0];
  outcome.names[1] = schedule.names[1];
  outcome.complete = schedule.counted == static_cast<int>(plan.games.size());
  if (!schedule.startFailure.empty()) {
    outcome.end = MatchEnd::kStartFailed;
    outcome.startFailure = schedule.startFailure;
  }
  guard.unlock();

  // Step 3. Every slot has ended its brains; join the threads.
  for (std::thread& thread : threads) thread.join();
  console.close();
  return outcome;
}

}  // namespace arena
