// VelmBrain: the engine, as its owner (the player) holds it — the result
// tables, the game memory, the position keys of the game, the main search
// worker and the helpers of parallel decisions, and the parameters.
//
// One instance lives for the whole run (about 140 MB with its tables,
// allocated once by the player); every game starts with init(), stones
// arrive through makeGameMove() in the order of play, and thinkMove()
// decides the move of the side to move without playing it. The owner
// writes `params` and `dataPath` between decisions (see EngineParams for
// when each takes effect). Who writes what:
//  - the worker's board: only the worker (game moves through it); a
//    helper's board: the helper, and the main worker's thread while the
//    helper is parked;
//  - the tables: the worker's search stores, init() clears;
//  - the memory: game moves, the root search's lookups, a lost game's save.
#pragma once

#include "board/keys.h"
#include "memo/memo.h"
#include "platform/memory.h"
#include "search/params.h"
#include "search/tables.h"
#include "search/threads.h"
#include "search/worker.h"

namespace velm {

class VelmBrain : public platform::ZeroedOnHeap {
 public:
  VelmBrain();
  VelmBrain(const VelmBrain&) = delete;
  VelmBrain& operator=(const VelmBrain&) = delete;

  EngineParams params;
  char dataPath[kPathCapacity] = "./";
  VelmHash tables;
  VelmMemo memo;
  // This game's position keys, drawn by init(); the worker's board and the
  // memory key positions with them.
  PositionKeys keys;
  SearchWorker worker;
  SearchThreads threads;

  // Once, after the time settings and before the first init: huge pages for
  // the tables when the first move can afford their first-touch stalls.
  void adviseTablePages();
  // The table size of an engine of `threads` search threads whose process
  // must stay within maxMemory bytes (0: no limit), and whether even the
  // smallest tables fit.
  static int tableBitsFor(long long maxMemory, bool& fits, int threads = 1);
  // The threads a decision may use: `wanted` (less than 1: one), at most
  // the processor's threads and kMaxSearchThreads, and no more than the
  // memory limit leaves room for beside tables of `tableBits`.
  static int threadsFor(int wanted, long long maxMemory, int tableBits);
  // From the next decision on, `count` threads (threadsFor's figure); fewer
  // when the system refuses some. Between decisions only.
  void setThreads(int count);
  int threadCount() const { return threads.helpers() + 1; }

  void init(int width, int height);
  void makeGameMove(int x, int y);
  void thinkMove(int& x, int& y);
  bool checkWin() const { return worker.checkWin(); }
  const VelmBoard& board() const { return worker.board(); }
  // Nodes of the main worker (the bench's signature), and of all workers.
  std::uint64_t nodes() const { return worker.nodes; }
  std::uint64_t allNodes() const { return worker.nodes + threads.nodes(); }
};

}  // namespace velm
