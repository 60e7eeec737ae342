#pragma once
// Helpers for the book tests: scratch files, raw book bytes written independently of the
// book writer, and positions.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "board/makemove.h"
#include "board/notation.h"
#include "board/position.h"
#include "board/tables.h"

// A file name in the test scratch directory, unique per test.
inline std::string scratchPath(const std::string& name) {
  const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
  return testing::TempDir() + "melvok_" + info->test_suite_name() + "_" + info->name() + "_" + name;
}

inline bool fileExists(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (file) fclose(file);
  return file != nullptr;
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
  std::vector<uint8_t> bytes;
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return bytes;
  int c;
  while ((c = getc(file)) != EOF) bytes.push_back(uint8_t(c));
  fclose(file);
  return bytes;
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
}

inline void writeText(const std::string& path, const std::string& text) {
  FILE* file = fopen(path.c_str(), "wb");
  ASSERT_NE(file, nullptr);
  fputs(text.c_str(), file);
  fclose(file);
}

// One record laid out by hand, big-endian, as the file format describes it.
struct RawRecord {
  uint64_t key;
  uint8_t from, to;
  uint16_t wins, draws, losses, code;
};

inline void putBig(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = bytes - 1; i >= 0; i--) out.push_back(uint8_t(value >> (8 * i)));
}

inline std::vector<uint8_t> rawHeader(uint8_t headerSize, uint8_t entrySize, uint8_t flags) {
  const uint8_t bytes[16] = {0, 0, 0, 0, 0, 0, 0, 0, 'M', 'V', 'K', 0, headerSize, 2, entrySize, flags};
  return std::vector<uint8_t>(bytes, bytes + 16);
}

inline void appendRaw(std::vector<uint8_t>& out, const RawRecord& r, bool counts, bool rating) {
  putBig(out, r.key, 8);
  out.push_back(r.from);
  out.push_back(r.to);
  if (counts) {
    putBig(out, r.wins, 2);
    putBig(out, r.draws, 2);
    putBig(out, r.losses, 2);
  }
  if (rating) putBig(out, r.code, 2);
}

// Positions are large; tests keep them on the heap.
inline std::unique_ptr<Position> positionFrom(const char* fen) {
  static bool tablesReady = [] {
    initTables();
    return true;
  }();
  (void)tablesReady;
  auto pos = std::make_unique<Position>();
  EXPECT_TRUE(setFen(*pos, fen)) << fen;
  return pos;
}

// Plays moves given as text; fails the test on a move that does not parse.
inline void playMoves(Position& pos, const std::vector<const char*>& moves) {
  for (const char* text : moves) {
    Move m = parseMove(pos, text);
    ASSERT_NE(m, 0u) << text;
    Move made = makeMove(pos, m);
    ASSERT_NE(made, 0u) << text;
    pos.lastMove = made;
  }
}

inline uint8_t squareByte(const char* sq) { return uint8_t((sq[1] - '1') * 16 + (sq[0] - 'a')); }
