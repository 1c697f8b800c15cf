// Principal variation search: the root iteration over rootMoves and the
// negamax alpha-beta node with null-window re-search, table moves first.
#include "log/log.h"
#include "search/worker.h"

namespace velm {

namespace {

// Marks a node's list as not generated yet: only the table move is known.
constexpr int kListPending = UNLIMITED;

}  // namespace

int SearchWorker::childScore(int depth, int fullDepth, int alpha, int beta, bool first) {
  if (first || beta <= alpha + 1) return -alphaBetaPVS(depth - 1, fullDepth - 1, -beta, -alpha);
  const int score = -alphaBetaPVS(depth - 1, fullDepth - 1, -alpha - 1, -alpha);
  if (alpha < score && score < beta && !stopSearch)
    return -alphaBetaPVS(depth - 1, fullDepth - 1, -beta, -alpha);
  return score;
}

int SearchWorker::alphaBetaPVS(int depth, int fullDepth, int alpha, int beta) {
  std::atomic_ref<std::uint64_t>(nodes).store(nodes + 1, std::memory_order_relaxed);
  const int ply = board_.moveCount() - rootPly;
  pvLength[ply] = 0;
  // Step 1. Past the hard time limit, the node gives up at once; the caller
  // sees stopSearch and discards what it returns.
  if (time.timeOver()) {
    stopSearch = true;
    return alpha;
  }
  // Step 2. The move that led here made five: the side to move has lost.
  // This comes before the depth test, so a five is seen even at a leaf.
  if (checkWin()) return -winScore;

  // Step 3. A leaf is valued statically; it is neither probed nor stored.
  if (depth <= 0) return boardValue();

  // A full board has no move left: a draw.
  if (board_.moveCount() >= board_.numSquares()) return 0;

  int list[kReplyListCapacity];
  int n = 0;
  ListKind genFlag = ListKind::kScored;
  bool rememberMove = false;
  const int maxMoves = fullDepth > 0 ? kFullWidth : narrowWidth;

  // Step 4. Probe the table: a result deep enough in both depths and
  // within the window settles the node; otherwise its move, if any, is
  // searched first, before the list is even generated.
  int firstMove = -1;
  TTData e;
  if (retriveTT(e)) {
    if (e.depth() >= depth && e.fullDepth() >= fullDepth) {
      const int v = e.value;
      if (v == winScore || v == -winScore) return v;
      if (e.bound == BOUND_EXACT) return v;
      if (e.bound == BOUND_UPPER && v <= alpha) return v;
      if (e.bound == BOUND_LOWER && v >= beta) return v;
    }
    // The stored move is a candidate of this very position, unless another
    // position's entry passed the key check: only a candidate is played.
    if (e.move >= 0 && board_.isCandidate(e.move)) {
      firstMove = e.move;
      n = kListPending;
      rememberMove = true;
    }
  }

  // Step 5. Without a table move, generate the list now. A proven result
  // ends the node; only moves of a scored list are worth remembering (a
  // forced list is found again at once).
  if (firstMove < 0) {
    n = genMoves(list, maxMoves, genFlag);
    if (genFlag == ListKind::kWin) {
      // The winning move closes the variation.
      pvLine[ply][0] = list[0];
      pvLength[ply] = 1;
      return winScore;
    }
    if (genFlag == ListKind::kLoss) return -winScore;
    if (n == 0) {
      // A quiet position has no threat-only move: it is valued as a leaf.
      if (maxMoves == 0) return boardValue();
      erro("Internal 348trar89djhddf");
    }
    firstMove = list[0];
    rememberMove = genFlag == ListKind::kScored;
  }

  // Step 6. Search the moves: the first one with the full window, the others
  // with a null window first and again with the full one only when they
  // fall inside it.
  int best = NO_SCORE;
  int bestMove = firstMove;
  int bound = BOUND_UPPER;
  int next = 0;  // next list entry
  for (bool first = true;; first = false) {
    int m;
    if (first) {
      m = firstMove;
      if (n != kListPending) next = 1;
    } else {
      if (next >= n) break;
      m = list[next++];
      if (m == firstMove) continue;
    }
    // Step 6.1. Enter the child and score it.
    play(m);
    const int score = childScore(depth, fullDepth, alpha, beta, first);
    // Step 6.2. Leave it. A child cut off by the time limit returned a
    // meaningless score: unwind without storing or using it.
    takeBack();
    if (stopSearch) return best;
    // Step 6.3. A score at or above beta refutes the parent's move: store
    // it as a lower bound and cut off.
    if (score >= beta) {
      storeTT(depth, fullDepth, score, BOUND_LOWER, rememberMove ? m : -1);
      return score;
    }
    // Step 6.4. A new best move; one inside the window makes the value exact.
    if (score > best) {
      best = score;
      bestMove = m;
      if (score > alpha) {
        alpha = score;
        bound = BOUND_EXACT;
        updatePV(ply, m);
      }
    }
    // Step 6.5. Only the table move was searched so far: generate the list
    // now and go on from its first entry (the table move is skipped there).
    if (n == kListPending) {
      n = genMoves(list, maxMoves, genFlag);
      rememberMove = genFlag == ListKind::kScored;
      if (n == 0 && maxMoves != 0) erro("Internal 348trar89djhddf");
      next = 0;
    }
  }

  // Step 7. Every move searched: store the best value, exact when a move
  // raised alpha, an upper bound otherwise.
  storeTT(depth, fullDepth, best, bound, rememberMove ? bestMove : -1);
  return best;
}

int SearchWorker::rootPVS(int depth, int fullDepth) {
  // Step 1. Order the root moves: after the first iteration the previous
  // best goes first; in the first one, moves into positions remembered as
  // lost are marked lost.
  if (depth != params.minDepth) {
    // The previous iteration's best move goes first; the others keep order.
    int top = 0;
    for (int i = 1; i < rootCount; i++) {
      if (rootMoves[i].score > rootMoves[top].score) top = i;
    }
    const ScoredMove moved = rootMoves[top];
    for (int i = top; i > 0; i--) rootMoves[i] = rootMoves[i - 1];
    rootMoves[0] = moved;
  } else if (params.options & kOptionMemory) {
    // Moves into positions remembered as lost are excluded, unless all are.
    int marked = 0;
    for (int i = 0; i < rootCount; i++) {
      int winner = 0;
      const int sq = rootMoves[i].move;
      const int toMove = board_.sideToMove();
      if (memo.checkMove(board_.sqX(sq), board_.sqY(sq), toMove, winner) && winner != toMove) {
        rootMoves[i].score = -winScore;
        marked++;
      }
    }
    if (marked == rootCount) {
      for (int i = 0; i < rootCount; i++) rootMoves[i].score = 0;
    }
  }

  // Step 2. Search the root moves.
  int best = NO_SCORE;
  int bestIndex = 0;
  rootProven = false;
  for (int i = 0; i < rootCount; i++) {
    // Step 2.1. Proven lost, or remembered as lost.
    if (rootMoves[i].score <= -winScore) continue;
    // Step 2.2. Enter the child and score it within (best, winScore): the
    // root never fails high but on a win.
    play(rootMoves[i].move);
    const int score = childScore(depth, fullDepth, best, winScore, i == 0);
    // Step 2.3. Leave it.
    takeBack();
    // Step 2.4. Stopped: the interrupted move's score is discarded.
    if (stopSearch) return bestIndex;
    // Step 2.5. Record.
    rootMoves[i].score = score;
    if (score > best) {
      best = score;
      bestIndex = i;
      updatePV(0, rootMoves[i].move);
      rootPVLength = pvLength[0];
      for (int k = 0; k < rootPVLength; k++) rootPV[k] = pvLine[0][k];
    }
    // Step 2.6. A win ends the deepening.
    if (score >= winScore) {
      stopSearch = rootProven = true;
      return bestIndex;
    }
  }
  // Step 3. Every searched move loses (or none was searched).
  if (best <= -winScore) stopSearch = rootProven = true;
  return bestIndex;
}

}  // namespace velm
