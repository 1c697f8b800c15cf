// Reading the game memory file into a VelmMemo. (Writing is
// VelmMemo::writeFile, in memo_file.cpp beside this reader.)
//
// The file is read and written field by field as little-endian bytes, never
// as a dump of the in-memory structs, so a file made by one build is read by
// any other whatever its byte order or struct padding.
#pragma once

#include "memo/memo.h"

namespace velm {

// A write goes to fileName plus this suffix first, in the same folder.
constexpr const char kMemoTempSuffix[] = ".tmp";
constexpr int kMemoTempSuffixLength = sizeof kMemoTempSuffix - 1;

// Reads memo.fileName into memo's size, lostTable, fillIndex and memoKeys.
// True only for a file of exactly kMemoFileSize bytes whose header is
// (width, 20, 8, 30, 1000) with width == height, and whose used fill indices
// are all slots of their block. On false the tables may hold part of the
// file and must be rebuilt by the caller; memo.loaded is not touched.
bool readMemoFile(VelmMemo& memo, int width, int height);

}  // namespace velm
