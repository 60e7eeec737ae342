#pragma once
// The opening book file: a 16-byte header, then fixed-size big-endian records sorted by
// book key, one record per (position, move). Lookups binary-search the file itself, so a
// book of any size costs no memory.
//
// Book keys are the board's Zobrist keys (board/tables.h) with the side to move folded in:
// changing the `zobrist` table silently invalidates every book ever built.
#include <cstdint>
#include <cstdio>
#include <string>

#include "board/position.h"

// Record flags of the header; BookReadKey is a reader-side option only, never stored.
constexpr uint32_t BookReadKey = 1;
constexpr uint32_t BookHasCounts = 2;
constexpr uint32_t BookHasRating = 4;
constexpr uint32_t BookWriteFlags = BookHasCounts | BookHasRating;

constexpr uint32_t BookHeaderSize = 16;
constexpr uint32_t BookVersion = 2;
constexpr int MaxBookMoves = 32;
constexpr uint32_t MaxRecordCount = 65535;  // one 16-bit count field

struct BookHeader {
  uint32_t headerSize;
  uint32_t version;
  uint32_t entrySize;
  uint32_t flags;
};

// One move of one position. Counts are seen from the side that made the move.
struct BookEntry {
  uint64_t key;
  uint32_t wins;
  uint32_t draws;
  uint32_t losses;
  float ratingSum;  // sum of the rating shares of the games; 0 when unknown
  uint8_t from;     // 0x88 square, bit 7 set when Black played the move
  uint8_t to;

  uint32_t games() const { return wins + draws + losses; }
  bool sameMove(const BookEntry& other) const {
    return ((from ^ other.from) & 0x7F) == 0 && to == other.to;
  }
};

// Header of a book without one: 16-byte records with counts and no rating code.
void resetHeaderForReading(BookHeader& header);
void setHeaderForWriting(BookHeader& header, uint32_t flags);
uint32_t entrySizeFor(uint32_t flags);
bool writeBookHeader(const BookHeader& header, FILE* file);
// Writes the move as one record, or as a series of records when a count exceeds 65535.
void writeBookMove(const BookEntry& entry, FILE* file, uint32_t flags);
// Reads one record (the key too with BookReadKey); false when the file is missing or failed.
bool readBookRecord(BookEntry& entry, FILE* file, uint32_t flags);
// Reads a big-endian 64-bit key; bytes past the end read as 0xFF. False on a read error.
bool readBookKey(FILE* file, uint64_t& key);

// Rating sums travel as a 16-bit logarithmic code: 70 * log2(sum) + 2400, rounded.
uint16_t ratingCode(float ratingSum);
float ratingFromCode(uint16_t code);
// 70 * log2(ratingSum) + 2400, or 0 for a sum of 0.
double moveElo(double ratingSum);

uint64_t bookKey(const Position& pos);
// The key under which books built with the older castling scheme store the position.
uint64_t legacyBookKey(const Position& pos);
// Four-character coordinate text (e2e4) and a terminating zero.
void bookMoveText(const BookEntry& entry, char* buffer);

// One open book. Not copyable: it owns the file handle.
class BookReader {
 public:
  BookReader() { resetHeaderForReading(header); }
  ~BookReader() { close(); }
  BookReader(const BookReader&) = delete;
  BookReader& operator=(const BookReader&) = delete;

  bool open(const char* path);
  void close();
  bool isOpen() const { return file != nullptr; }
  // Leaves the file at the first record of key; false when the key is not in the book.
  bool findPosition(uint64_t key);
  // Fills moves with the distinct moves of pos's key; returns their number.
  int fetchMoves(const Position& pos);
  // The entry as a legal move of pos, or 0.
  Move bookMove(Position& pos, const BookEntry& entry) const;
  uint64_t lookupKey(const Position& pos) const;
  // Skips the bytes of a record beyond the fields its flags describe.
  void skipPadding();

  BookHeader header;
  FILE* file = nullptr;
  uint32_t recordCount = 0;
  bool legacyKeys = false;
  BookEntry moves[MaxBookMoves];
};

// Writes the non-empty entries in order to a new book at path, through a temporary file
// that replaces path only once it is complete. Prints the save messages.
bool saveBook(const BookEntry* entries, uint32_t count, const char* path);

// A file written next to its final name and renamed into place on commit, so that a failed
// write never destroys the file that stood there.
class BookFileWriter {
 public:
  BookFileWriter() = default;
  ~BookFileWriter() { abandon(); }
  BookFileWriter(const BookFileWriter&) = delete;
  BookFileWriter& operator=(const BookFileWriter&) = delete;

  bool open(const char* path);
  FILE* file() const { return file_; }
  // Closes the temporary file and renames it to the final name; false on any write error.
  bool commit();
  void abandon();

 private:
  FILE* file_ = nullptr;
  std::string path_;
  std::string tempPath_;
};
