#include "book/book_file.h"

#include <cmath>
#include <cstdio>

#include "board/notation.h"
#include "board/tables.h"

namespace {

// Castling values of the older key scheme, by rights mask; only 1, 2, 4, 5, 8, 10 and 15
// take part in a key.
constexpr uint64_t legacyCastleValues[16] = {
    0x0000000000000000ull, 0xD624CBF347C43773ull, 0x2C351EDFF4377AC4ull, 0xFE35DFFFF7F77FF7ull,
    0xC18B71230A5F8F47ull, 0xD7AFFBF34FDFBF77ull, 0xEDBF7FFFFE7FFFC7ull, 0xFFBFFFFFFFFFFFF7ull,
    0xE07CCF52555B5932ull, 0xF67CCFF357DF7F73ull, 0xEC7DDFDFF57F7BF6ull, 0xFE7DDFFFF7FF7FF7ull,
    0xE1FFFF735F5FDF77ull, 0xF7FFFFF35FDFFF77ull, 0xEDFFFFFFFF7FFFF7ull, 0xFFFFFFFFFFFFFFF7ull,
};

// Two keys of the opening that only the older scheme produces (A) or only the current one (B).
constexpr uint64_t LegacyProbeKey = 0x6975491B85D41ED6ull;
constexpr uint64_t CurrentProbeKey = 0x4D6CDDB996DC7AE3ull;

// A byte past the end of the file reads as 0xFF, which never forms a wanted key.
inline uint32_t readByte(FILE* file) { return uint32_t(getc(file)) & 0xFF; }

inline uint32_t readWord16(FILE* file) {
  uint32_t high = readByte(file);
  return (high << 8) | readByte(file);
}

inline void writeWord16(uint32_t value, FILE* file) {
  putc(int((value >> 8) & 0xFF), file);
  putc(int(value & 0xFF), file);
}

inline void writeWord32(uint32_t value, FILE* file) {
  for (int shift = 24; shift >= 0; shift -= 8) putc(int((value >> shift) & 0xFF), file);
}

}  // namespace

void resetHeaderForReading(BookHeader& header) { header = BookHeader{0, 0, 16, BookHasCounts}; }

uint32_t entrySizeFor(uint32_t flags) {
  uint32_t size = 10;
  if (flags & BookHasCounts) size += 6;
  if (flags & BookHasRating) size += 2;
  return size;
}

void setHeaderForWriting(BookHeader& header, uint32_t flags) {
  header = BookHeader{BookHeaderSize, BookVersion, entrySizeFor(flags), flags};
}

bool writeBookHeader(const BookHeader& header, FILE* file) {
  if (!file) return false;
  static const uint8_t magic[4] = {'M', 'V', 'K', 0};
  for (int i = 0; i < 8; i++) putc(0, file);
  for (uint8_t byte : magic) putc(byte, file);
  putc(int(header.headerSize & 0xFF), file);
  putc(int(header.version & 0xFF), file);
  putc(int(header.entrySize & 0xFF), file);
  putc(int(header.flags & 0xFF), file);
  return true;
}

void writeBookMove(const BookEntry& entry, FILE* file, uint32_t flags) {
  uint32_t wins = entry.wins, draws = entry.draws, losses = entry.losses;
  if (wins + draws + losses == 0 && (flags & BookHasCounts)) return;
  uint16_t code = ratingCode(entry.ratingSum);
  // A count above what one field holds continues in further records of the same move.
  do {
    writeWord32(uint32_t(entry.key >> 32), file);
    writeWord32(uint32_t(entry.key), file);
    putc(entry.from, file);
    putc(entry.to, file);
    if (!(flags & BookHasCounts)) {
      if (flags & BookHasRating) writeWord16(code, file);
      return;
    }
    uint32_t w = wins < MaxRecordCount ? wins : MaxRecordCount;
    uint32_t d = draws < MaxRecordCount ? draws : MaxRecordCount;
    uint32_t l = losses < MaxRecordCount ? losses : MaxRecordCount;
    writeWord16(w, file);
    writeWord16(d, file);
    writeWord16(l, file);
    if (flags & BookHasRating) writeWord16(code, file);
    wins -= w;
    draws -= d;
    losses -= l;
  } while (wins + draws + losses != 0);
}

bool readBookKey(FILE* file, uint64_t& key) {
  uint8_t bytes[8];
  size_t got = fread(bytes, 1, 8, file);
  if (got < 8) {
    if (ferror(file)) return false;
    for (size_t i = got; i < 8; i++) bytes[i] = 0xFF;
  }
  key = 0;
  for (uint8_t byte : bytes) key = (key << 8) | byte;
  return true;
}

bool readBookRecord(BookEntry& entry, FILE* file, uint32_t flags) {
  if (!file || ferror(file)) return false;
  if (flags & BookReadKey) {
    if (!readBookKey(file, entry.key)) return false;
  }
  entry.from = uint8_t(readByte(file));
  entry.to = uint8_t(readByte(file));
  if (flags & BookHasCounts) {
    entry.wins = readWord16(file);
    entry.draws = readWord16(file);
    entry.losses = readWord16(file);
  } else {
    entry.wins = entry.draws = entry.losses = 0;
  }
  entry.ratingSum = (flags & BookHasRating) ? ratingFromCode(uint16_t(readWord16(file))) : 0.0f;
  return !ferror(file);
}

uint16_t ratingCode(float ratingSum) {
  // Sums are positive by construction; anything else (0, damage, NaN) has no rating.
  if (!(ratingSum > 0.0f) || std::isinf(ratingSum)) return 0;
  double value = 70.0 * std::log(double(ratingSum)) / std::log(2.0) + 2400.0 + 0.5;
  return uint16_t(int32_t(value) & 0xFFFF);
}

float ratingFromCode(uint16_t code) { return float(std::pow(2.0, (double(code) - 2400.0) / 70.0)); }

double moveElo(double ratingSum) {
  if (ratingSum == 0.0) return 0.0;
  return 70.0 * std::log(ratingSum) / std::log(2.0) + 2400.0;
}

uint64_t bookKey(const Position& pos) { return pos.hashKey ^ (pos.sideToMove == Black ? 1u : 0u); }

uint64_t legacyBookKey(const Position& pos) {
  uint64_t key = bookKey(pos) ^ tables.castleKeys[pos.castleRights & 15];
  key ^= legacyCastleValues[15];
  // The older scheme keyed castling by which king and rook squares had been left.
  uint32_t plies = pos.ply < uint32_t(MaxHistory) ? pos.ply : uint32_t(MaxHistory);
  for (uint32_t i = 0; i < plies; i++) {
    switch (moveFrom(pos.moveHistory[i])) {
      case 0x00:
        key ^= legacyCastleValues[1];
        break;  // a1
      case 0x07:
        key ^= legacyCastleValues[4];
        break;  // h1
      case 0x04:
        key ^= legacyCastleValues[5];
        break;  // e1
      case 0x70:
        key ^= legacyCastleValues[2];
        break;  // a8
      case 0x77:
        key ^= legacyCastleValues[8];
        break;  // h8
      case 0x74:
        key ^= legacyCastleValues[10];
        break;  // e8
      default:
        break;
    }
  }
  return key;
}

void bookMoveText(const BookEntry& entry, char* buffer) {
  if (!buffer) return;
  buffer[0] = char('a' + (entry.from & 7));
  buffer[1] = char('1' + ((entry.from & 127) >> 4));
  buffer[2] = char('a' + (entry.to & 7));
  buffer[3] = char('1' + ((entry.to >> 4) & 7));
  buffer[4] = 0;
}

void BookReader::close() {
  if (file) fclose(file);
  file = nullptr;
  recordCount = 0;
  legacyKeys = false;
  resetHeaderForReading(header);
}

bool BookReader::open(const char* path) {
  close();
  if (!path) return false;
  file = fopen(path, "rb");
  if (!file) return false;
  // Lookups seek for every record they read; a small buffer keeps each read small.
  setvbuf(file, nullptr, _IOFBF, 256);
  if (ferror(file)) {
    close();
    return false;
  }
  uint8_t start[8];
  size_t got = fread(start, 1, 8, file);
  bool hasHeader = got == 8;
  for (size_t i = 0; i < got; i++) hasHeader = hasHeader && start[i] == 0;
  if (hasHeader) {
    fseek(file, 4, SEEK_CUR);  // magic and its zero byte are not checked
    header.headerSize = readByte(file);
    header.version = readByte(file);
    header.entrySize = readByte(file);
    header.flags = readByte(file) & BookWriteFlags;
    if (header.headerSize < BookHeaderSize) header.headerSize = BookHeaderSize;
    // A record smaller than its own fields would make every lookup read the next one.
    if (header.entrySize < entrySizeFor(header.flags)) {
      close();
      return false;
    }
  } else {
    resetHeaderForReading(header);
  }
  if (fseeko(file, 0, SEEK_END) != 0) {
    close();
    return false;
  }
  off_t size = ftello(file);
  if (size < 0 || ferror(file)) {
    close();
    return false;
  }
  uint64_t records = uint64_t(size) / header.entrySize;
  recordCount = records > 0xFFFFFFFFull ? 0xFFFFFFFFu : uint32_t(records);
  bool legacyFound = findPosition(LegacyProbeKey);
  bool currentFound = findPosition(CurrentProbeKey);
  legacyKeys = legacyFound && !currentFound;
  clearerr(file);
  return true;
}

bool BookReader::findPosition(uint64_t key) {
  if (recordCount == 0 || !file || ferror(file)) return false;
  int64_t lo = 0, hi = int64_t(recordCount) - 1;
  uint64_t found = 0;
  for (;;) {
    int64_t mid = (lo + hi) / 2;
    if (fseeko(file, off_t(header.headerSize) + off_t(mid) * header.entrySize, SEEK_SET) != 0)
      return false;
    if (!readBookKey(file, found)) return false;
    if (hi <= lo) break;
    if (found < key) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (found != key) return false;
  clearerr(file);  // the probe may have touched the end of the file
  return fseeko(file, -8, SEEK_CUR) == 0;
}

void BookReader::skipPadding() {
  uint32_t padding = header.entrySize - entrySizeFor(header.flags);
  if (padding > 0) fseeko(file, padding, SEEK_CUR);
}

uint64_t BookReader::lookupKey(const Position& pos) const {
  return legacyKeys ? legacyBookKey(pos) : bookKey(pos);
}

int BookReader::fetchMoves(const Position& pos) {
  const uint64_t key = lookupKey(pos);
  if (!findPosition(key)) return 0;
  int count = 0;
  for (;;) {
    uint64_t recordKey;
    if (!readBookKey(file, recordKey) || feof(file) || recordKey != key) break;
    BookEntry entry;
    if (!readBookRecord(entry, file, header.flags) || feof(file)) break;  // truncated record
    skipPadding();
    entry.key = key;
    if (count > 0 && moves[count - 1].sameMove(entry)) {
      // The next record of a move whose counts did not fit in one record.
      BookEntry& move = moves[count - 1];
      move.wins += entry.wins;
      move.draws += entry.draws;
      move.losses += entry.losses;
      move.ratingSum += entry.ratingSum;
    } else {
      if (count == MaxBookMoves) break;
      moves[count++] = entry;
    }
  }
  clearerr(file);
  return count;
}

Move BookReader::bookMove(Position& pos, const BookEntry& entry) const {
  char text[8];
  bookMoveText(entry, text);
  return parseMove(pos, text);
}

bool BookFileWriter::open(const char* path) {
  abandon();
  if (!path || !*path) return false;
  path_ = path;
  tempPath_ = path_ + ".tmp";
  file_ = fopen(tempPath_.c_str(), "wb");
  return file_ != nullptr;
}

bool BookFileWriter::commit() {
  if (!file_) return false;
  bool ok = fflush(file_) == 0 && !ferror(file_);
  ok = (fclose(file_) == 0) && ok;
  file_ = nullptr;
  if (ok) ok = rename(tempPath_.c_str(), path_.c_str()) == 0;
  if (!ok) remove(tempPath_.c_str());
  tempPath_.clear();
  return ok;
}

void BookFileWriter::abandon() {
  if (!file_) return;
  fclose(file_);
  file_ = nullptr;
  remove(tempPath_.c_str());
  tempPath_.clear();
}

bool saveBook(const BookEntry* entries, uint32_t count, const char* path) {
  printf("saving book to %s\n", path);
  BookFileWriter writer;
  if (!writer.open(path)) {
    printf("could not open file: %s\n", path);
    return false;
  }
  BookHeader header;
  setHeaderForWriting(header, BookWriteFlags);
  writeBookHeader(header, writer.file());
  int saved = 0;
  for (uint32_t i = 0; i < count; i++) {
    if (entries[i].games() == 0) continue;
    writeBookMove(entries[i], writer.file(), BookWriteFlags);
    saved++;
  }
  if (!writer.commit()) {
    printf("could not write file: %s\n", path);
    return false;
  }
  printf("saved %i moves\n", saved);
  return true;
}
