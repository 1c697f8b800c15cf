// Move decision: the opening rules, a forced single answer, or the iterative
// deepening of the principal variation search under the time budget.
#include "log/log.h"
#include "platform/random.h"
#include "search/worker.h"

namespace velm {

// The iteration stop rule predicts the next full-width iteration at this many
// times the last one; the deepening steps by two plies.
constexpr int kFullWidthGrowth = 40;
// The diagonal rule gives up after this many unusable tries; the radius rule
// starts with a 7x7 window and widens after this many tries at one radius.
constexpr int kDiagonalTries = 5000;
constexpr int kRadiusTries = 5000;
constexpr int kFirstRadius = 3;

void SearchWorker::thinkMove(int& x, int& y) {
  const VelmBoard& b = board_;
  // Step 1. Note the start of the move and set the limits.
  time.startTime();
  // Step 2. Nothing left to play.
  if (b.moveCount() >= b.numSquares()) erro("Game over");
  // Step 3. Opening rules.
  if (openMove(x, y)) {
    time.stopTime();
    if (params.decisionListener != nullptr)
      reportDecision(b.sqIndex(x, y), DecisionSource::kOpening, 0);
    return;
  }
  // Step 4. Full-width root list (or a forced list).
  int list[kReplyListCapacity];
  ListKind genFlag = ListKind::kScored;
  const int n = genMoves(list, kFullWidth, genFlag);
  rootCount = n;
  // Step 5. A single move is played without search; a proven loss is
  // remembered.
  if (n == 1) {
    x = b.sqX(list[0]);
    y = b.sqY(list[0]);
    if ((params.options & kOptionMemory) && genFlag == ListKind::kLoss)
      memo.saveGame(b.sideOther(), b.moveCount());
    if (params.decisionListener != nullptr) reportDecision(list[0], DecisionSource::kForced, 0);
    return;
  }
  // Step 6. Root list.
  for (int i = 0; i < n; i++) rootMoves[i] = {list[i], 0};
  // Step 7. Deepening state.
  if (params.iterationListener != nullptr)
    decisionStartNodes = nodes + (helpers != nullptr ? helpers->nodes() : 0);
  stopSearch = false;
  int depth = params.minDepth;
  int fullDepth = UNLIMITED;
  int best = list[0];
  int bestScore = 0;
  int completed = 0;  // the deepest iteration this worker completed
  rootPly = b.moveCount();
  searching = true;
  // Step 8. Iterative deepening.
  while (depth <= params.maxDepth) {
    // Step 8.1. One iteration.
    const int i = rootPVS(depth, fullDepth);
    best = rootMoves[i].move;
    bestScore = rootMoves[i].score;
    // Step 8.2. Time out, a win, or every move lost; a proven result
    // completes the iteration.
    if (stopSearch && !rootProven) break;
    completed = depth;
    if (params.iterationListener != nullptr) reportIteration(depth, best, bestScore);
    if (stopSearch) break;
    // Step 8.3. Helpers join after the first iteration, with its root list
    // (the moves the game memory excludes already marked); a win one of
    // them proves ends the decision.
    if (helpers != nullptr) {
      if (!helpers->running()) {
        helpers->start(*this, depth + kDepthStep, fullDepth);
      } else if (helpers->deepest().score >= winScore) {
        break;
      }
    }
    // Step 8.4. Fixed growth factor.
    if (params.options & kOptionFixedGrowth) {
      if (time.timeOut(kFullWidthGrowth)) break;
      depth += kDepthStep;
      continue;
    }
    // Step 8.5. No time for another full-width iteration: narrow the tail.
    if (fullDepth == UNLIMITED && time.timeOut(kFullWidthGrowth)) {
      fullDepth = depth;
      if (helpers != nullptr) helpers->setFullDepth(fullDepth);
      depth += kDepthStep;
      continue;
    }
    // Step 8.6. No time for another iteration at all.
    if (time.timeOut(params.branchFactor)) break;
    // Step 8.7. Next depth.
    depth += kDepthStep;
  }
  searching = false;
  // Step 9. The helpers stop. One that completed a deeper iteration than
  // this worker, or proved a win, gives the answer, unless this worker
  // proved a win itself.
  int depthBehind = completed;
  if (helpers != nullptr && helpers->running()) {
    helpers->stop();
    const HelperResult h = helpers->deepest();
    if (h.depth > 0 && bestScore < winScore && (h.depth > completed || h.score >= winScore)) {
      best = h.move;
      depthBehind = h.depth;
    }
  }
  // Step 10. Charge the time.
  time.stopTime();
  // Step 11. Answer.
  x = b.sqX(best);
  y = b.sqY(best);
  if (params.decisionListener != nullptr)
    reportDecision(best, DecisionSource::kSearch, depthBehind);
}

int SearchWorker::provenLine(int* line, int length, int winner) {
  // Step 1. The variation as the search played it.
  for (int k = 0; k < length; k++) play(line[k]);
  // Step 2. On to the five: the winner's five or unstoppable four, else the
  // table's move, else the reply that the tables prove winning (the
  // forced-line evaluation stored it); the loser's first forced reply.
  int played = length;
  while (played < kProvenLineCapacity && !(played > 0 && checkWin())) {
    int list[kReplyListCapacity];
    int verdict = 0;
    const int n = winAndForced(list, verdict);
    int next = -1;
    TTData e;
    if (n > 0 && (verdict == winScore || board_.sideToMove() != winner)) {
      next = list[0];
    } else if (retriveTT(e) && e.move >= 0 && board_.isCandidate(e.move)) {
      next = e.move;
    } else {
      for (int i = 0; i < n && next < 0; i++) {
        const std::uint64_t after = board_.keyAfter(list[i]);
        if (tables.retriveTT0(after) == -winScore ||
            (tables.retriveTT(after, e) && e.value == -winScore))
          next = list[i];
      }
    }
    if (next < 0) break;
    line[played++] = next;
    play(next);
  }
  // Step 3. Back to the root.
  for (int k = 0; k < played; k++) takeBack();
  return played;
}

void SearchWorker::reportIteration(int depth, int move, int score) {
  // A proven result is shown down to its five where the threats or the
  // table lead there.
  int line[kProvenLineCapacity];
  int length = rootPVLength;
  for (int k = 0; k < length; k++) line[k] = rootPV[k];
  const int toMove = board_.sideToMove();
  if (score >= winScore) length = provenLine(line, length, toMove);
  if (score <= -winScore) length = provenLine(line, length, 1 - toMove);
  IterationInfo info;
  info.depth = depth;
  info.move = move;
  info.score = score;
  info.nodes = nodes + (helpers != nullptr ? helpers->nodes() : 0) - decisionStartNodes;
  info.timeMs = time.elapsedTime();
  info.pv = line;
  info.pvLength = length;
  params.iterationListener(params.listenerContext, info);
}

void SearchWorker::reportDecision(int move, DecisionSource source, int depth) {
  params.decisionListener(params.listenerContext, {move, source, depth});
}

void SearchWorker::prepareHelp(const SearchWorker& main, const PositionKeys& keys) {
  board_.copyGame(main.board_, keys);
  rootCount = main.rootCount;
  for (int i = 0; i < rootCount; i++) rootMoves[i] = main.rootMoves[i];
  narrowWidth = main.narrowWidth;
}

void SearchWorker::helpSearch(int startDepth, const std::atomic<int>& fullDepth,
                              std::atomic<std::uint64_t>& result) {
  stopSearch = false;
  rootPly = board_.moveCount();
  searching = true;
  for (int depth = startDepth; depth <= params.maxDepth; depth += kDepthStep) {
    const int i = rootPVS(depth, fullDepth.load(std::memory_order_relaxed));
    // Stopped from outside, the iteration is unfinished; a win, or a loss
    // of every move, ends it proven.
    if (stopSearch && !rootProven) break;
    result.store(SearchThreads::pack({depth, rootMoves[i].move, rootMoves[i].score}),
                 std::memory_order_relaxed);
    if (stopSearch) break;
  }
  searching = false;
}

bool SearchWorker::openMove(int& x, int& y) {
  const VelmBoard& b = board_;
  const int moves = b.moveCount();
  if (moves == 0) {
    x = b.boardWidth() / 2;
    y = b.boardHeight() / 2;
    return true;
  }
  const bool radiusReply = moves == 2 || (moves == 1 && (params.options & kOptionRadiusReply));
  if (moves != 1 && !radiusReply) return false;
  const int first = b.moveAt(0);
  const int x0 = b.sqX(first);
  const int y0 = b.sqY(first);
  if (!radiusReply) {
    // Diagonal rule: one of the four diagonal neighbours of the first stone.
    for (int tries = 1;; tries++) {
      if (tries == kDiagonalTries + 1) erro("Internal 385346786");
      const int d = (platform::nextRandom() & 1) ? -1 : 1;
      x = x0 + d;
      y = (platform::nextRandom() & 1) ? y0 - d : y0 + d;
      if (!badPlace(x, y)) return true;
    }
  }
  // Radius rule: a random square near the first stone, next to some stone.
  int radius = kFirstRadius;
  int window = 2 * radius + 1;
  for (int tries = 1;; tries++) {
    x = x0 + platform::nextRandom() % window - radius;
    y = y0 + platform::nextRandom() % window - radius;
    if (tries == kRadiusTries + 1) {
      radius++;
      window = 2 * radius + 1;
      tries = 0;
    }
    if (!badPlace(x, y)) return true;
  }
}

bool SearchWorker::badPlace(int x, int y) const {
  const VelmBoard& b = board_;
  auto stone = [&](int sx, int sy) { return b.square(b.sqIndex(sx, sy)).stone; };
  if (x < 0 || y < 0 || x >= b.boardWidth() || y >= b.boardHeight()) return true;
  if (stone(x, y) != kCellEmpty) return true;
  for (int nx = x - 1; nx <= x + 1; nx++) {
    for (int ny = y - 1; ny <= y + 1; ny++) {
      if (nx == x && ny == y) continue;
      if (nx < 0 || ny < 0 || nx >= b.boardWidth() || ny >= b.boardHeight()) continue;
      if (stone(nx, ny) != kCellEmpty) return false;
    }
  }
  return true;
}

}  // namespace velm
