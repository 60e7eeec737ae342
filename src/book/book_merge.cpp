#include "book/book_merge.h"

#include <cstdio>
#include <cstring>

namespace {

// A group holds the records of one position; records past this many are read but dropped.
constexpr int MaxGroupRecords = 31;

struct MergeInput {
  BookReader reader;
  BookEntry group[MaxGroupRecords + 1];
  int count = 0;  // records of the current group
  uint64_t groupKey = 0;
  uint64_t nextKey = 0;  // key of the record after the group

  // Reads the records of the next position; 0 at the end of the book.
  int readGroup() {
    count = 0;
    FILE* file = reader.file;
    if (feof(file) || ferror(file)) return 0;
    groupKey = nextKey;
    for (;;) {
      BookEntry& slot = group[count < MaxGroupRecords ? count : MaxGroupRecords];
      if (!readBookRecord(slot, file, reader.header.flags) || feof(file)) return count;
      reader.skipPadding();
      slot.key = groupKey;
      if (count < MaxGroupRecords) count++;
      if (!readBookKey(file, nextKey) || feof(file)) return count;
      if (nextKey != groupKey) return count;
    }
  }

  bool start() {
    if (fseeko(reader.file, reader.header.headerSize, SEEK_SET) != 0) return false;
    if (!readBookKey(reader.file, nextKey)) return false;
    if (feof(reader.file)) return true;  // an empty book
    readGroup();
    return true;
  }
};

}  // namespace

bool mergeBooks(const char* masterBook, const char* secondaryBook, const char* resultBook) {
  if (!masterBook || !secondaryBook || !resultBook || !*masterBook || !*secondaryBook ||
      !*resultBook)
    return false;
  if (strcmp(masterBook, resultBook) == 0 || strcmp(secondaryBook, resultBook) == 0) {
    printf("cannot merge book to self\n");
    return false;
  }
  // Inputs are large (32 groups each); keep them off the stack.
  auto master = new MergeInput;
  auto secondary = new MergeInput;
  struct Cleanup {
    MergeInput* a;
    MergeInput* b;
    ~Cleanup() {
      delete a;
      delete b;
    }
  } cleanup{master, secondary};

  if (!master->reader.open(masterBook)) {
    printf("could not open file: %s\n", masterBook);
    return false;
  }
  if (!secondary->reader.open(secondaryBook)) {
    printf("could not open file: %s\n", secondaryBook);
    return false;
  }
  BookFileWriter writer;
  if (!writer.open(resultBook)) {
    printf("could not open file: %s\n", resultBook);
    return false;
  }
  BookHeader header;
  setHeaderForWriting(header, master->reader.header.flags);
  writeBookHeader(header, writer.file());
  printf("merging %s with %s to %s...\n", masterBook, secondaryBook, resultBook);

  int positions = 0, moves = 0;
  auto writeGroup = [&](const MergeInput& input) {
    for (int i = 0; i < input.count; i++)
      writeBookMove(input.group[i], writer.file(), header.flags);
    positions++;
    moves += input.count;
  };
  if (!master->start()) {
    printf("could not read file: %s\n", masterBook);
    return false;
  }
  if (!secondary->start()) {
    printf("could not read file: %s\n", secondaryBook);
    return false;
  }
  while (master->count > 0 || secondary->count > 0) {
    if (secondary->count == 0 || (master->count > 0 && master->groupKey < secondary->groupKey)) {
      writeGroup(*master);
      master->readGroup();
    } else if (master->count == 0 || secondary->groupKey < master->groupKey) {
      writeGroup(*secondary);
      secondary->readGroup();
    } else {
      writeGroup(*master);  // the master's moves win a position found in both books
      master->readGroup();
      secondary->readGroup();
    }
  }
  if (!writer.commit()) {
    printf("could not write file: %s\n", resultBook);
    return false;
  }
  printf("...done!\n");
  printf("%s contains %i positions with %i moves\n", resultBook, positions, moves);
  return true;
}

void showEntry(const BookEntry& entry, const char* text) {
  char move[8];
  if (!text) {
    bookMoveText(entry, move);
    text = move;
  }
  double games = entry.games();
  // A record without games has no shares: print zeros rather than divide by zero.
  double win = games > 0 ? entry.wins / games * 100 : 0.0;
  double draw = games > 0 ? entry.draws / games * 100 : 0.0;
  double score = games > 0 ? (2.0 * entry.wins + entry.draws) / (2 * games) * 100 : 0.0;
  printf("%-6s %8u %8.2f %8.2f %8.2f", text, entry.games(), win, draw, score);
  if (entry.ratingSum != 0) printf(" %6.0f", moveElo(entry.ratingSum));
  printf("\n");
}

void logBook(BookReader& reader) {
  if (!reader.isOpen()) return;
  FILE* file = reader.file;
  clearerr(file);
  fseeko(file, reader.header.headerSize, SEEK_SET);
  printf("header.size=%i\n", int(reader.header.headerSize));
  printf("entry .size=%i\n", int(reader.header.entrySize));
  int histogram[20] = {};
  int records = 0, positions = 0;
  uint64_t previousKey = 0;
  BookEntry entry;
  while (readBookRecord(entry, file, reader.header.flags | BookReadKey) && !feof(file)) {
    reader.skipPadding();
    records++;
    if (records % 1024 == 0) putchar('.');
    uint32_t games = entry.games();
    int bucket = 0;
    while (bucket < 19 && (1u << bucket) < games) bucket++;
    histogram[bucket]++;
    if (records == 1 || entry.key != previousKey) positions++;
    previousKey = entry.key;
    if (games == 0) {
      printf("\n%i: zero-sized move: 0x%08x%08x ", positions, unsigned(entry.key >> 32),
             unsigned(entry.key));
      showEntry(entry, nullptr);
    }
  }
  clearerr(file);
  printf("\n\n");
  int accounted = 0;
  for (int b = 0; b < 20; b++) {
    if (histogram[b] == 0) continue;
    printf("[%i-%i]: #=%i, %%=%4.2f\n", (1 << b) / 2 + 1, 1 << b, histogram[b],
           histogram[b] * 100.0 / records);
    accounted += histogram[b];
  }
  printf("total moves=%i, accounted=%i\n", records, accounted);
  printf("total positions=%i, moves/position=%3.2f\n", positions,
         positions ? double(records) / positions : 0.0);
}
