// Benchmark suites of velmaro-bench. Each prints its figures to standard
// output, one "name: value unit" line each; timings are meaningful only in a
// Release build.
#pragma once

// Engine construction, first inits, make/undo cost, peak memory.
void runBoardBench();
