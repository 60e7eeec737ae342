#include "book/book_builder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/output_stream.h"
#include "base/settings.h"
#include "board/makemove.h"
#include "board/notation.h"
#include "book/book_settings.h"

static_assert(sizeof(BookEntry) == 32, "book table slots are 32 bytes");

namespace {

constexpr uint32_t MinTableSlots = 1024;

// Percent settings come from whole numbers; rounding prints them back exactly.
int percentOf(double value) { return int(std::lround(value * 100)); }

// Drop shares print negative, in whole percent truncated toward zero.
int dropShare(int count, int total) { return total ? (-100 * count) / total : 0; }

}  // namespace

void readBuildSettings(BookBuildSettings& build, const Settings& settings) {
  build = BookBuildSettings{};
  build.file = settings.get("book.build.file");
  readIntSetting(settings, "book.build.minelo", build.minElo);
  readIntSetting(settings, "book.build.maxelodelta", build.maxEloDelta);
  readIntSetting(settings, "book.build.minply", build.minPly);
  readIntSetting(settings, "book.build.maxply", build.maxPly);
  readIntSetting(settings, "book.build.mingames", build.minGames);
  readIntSetting(settings, "book.build.minquality", build.minQuality);
  readPercentSetting(settings, "book.build.minscorew", build.minScore[White]);
  readPercentSetting(settings, "book.build.minscoreb", build.minScore[Black]);
  readPercentSetting(settings, "book.build.keeppct", build.keepPct);
}

BookTable::~BookTable() { free(slots); }

bool BookTable::resize(uint32_t wanted) {
  wanted = std::max(wanted, MinTableSlots);
  if (wanted < capacity) {
    printf("cannot resize %i to smaller size %i!\n", int(capacity), int(wanted));
    return false;
  }
  uint64_t bytes = uint64_t(wanted) * sizeof(BookEntry);
  if (bytes >= 1048576) printf("+%iMb+\n", int(bytes / 1048576));
  auto* grown = static_cast<BookEntry*>(calloc(wanted, sizeof(BookEntry)));
  if (!grown) return false;
  BookEntry* old = slots;
  uint32_t oldCapacity = capacity;
  slots = grown;
  capacity = wanted;
  for (uint32_t i = 0; i < oldCapacity; i++) {
    if (old[i].games() == 0) continue;
    uint32_t index = uint32_t(old[i].key % capacity);
    while (slots[index].games() != 0) index = index + 1 == capacity ? 0 : index + 1;
    slots[index] = old[i];
  }
  free(old);
  return true;
}

uint32_t BookTable::findSlot(uint64_t key, uint8_t from, uint8_t to) const {
  uint32_t index = uint32_t(key % capacity);
  for (;;) {
    const BookEntry& slot = slots[index];
    if (slot.games() == 0) return index;
    if (slot.key == key && ((slot.from ^ from) & 0x7F) == 0 && slot.to == to) return index;
    index = index + 1 == capacity ? 0 : index + 1;
  }
}

bool BookTable::addGame(const PgnGame& game) {
  if (game.result == ResultNone) {
    counts.noResult++;
    return true;
  }
  if (!game.warning.empty()) {
    printf("Warning: %s\n", game.warning.c_str());
    counts.errors++;
    return false;
  }
  if (game.moveCount() < uint32_t(std::max(build.minPly, 0))) {
    counts.minPlyDrops++;
    return true;
  }
  if (build.minElo != 0 && game.whiteElo < build.minElo && game.blackElo < build.minElo) {
    counts.minEloDrops++;
    return true;
  }
  if (build.maxEloDelta != 0 && std::abs(game.whiteElo - game.blackElo) > build.maxEloDelta) {
    counts.maxEloDrops++;
    return true;
  }
  // Only games from the standard starting position are used.
  if (!game.fen.empty()) {
    counts.errors++;
    return false;
  }
  // Each game adds the players' rating shares to the moves of the side that scored.
  float white = float(std::pow(2.0, (game.whiteElo - 2400) / 70.0));
  float black = float(std::pow(2.0, (game.blackElo - 2400) / 70.0));
  float shares[2] = {0, 0};
  if (game.result == ResultWhiteWins) shares[White] = white + black;
  if (game.result == ResultBlackWins) shares[Black] = white + black;
  if (game.result == ResultDraw) shares[White] = shares[Black] = (white + black) / 2;
  // 0 wins, 1 draws, 2 losses, from the side that made the move.
  int counter = game.result == ResultWhiteWins ? 0 : game.result == ResultDraw ? 1 : 2;

  setFen(*position, InitialFen);
  uint32_t plies = std::min(game.moveCount(), uint32_t(std::max(build.maxPly, 0)));
  // The history of the board holds MaxGamePly moves; longer games store no more.
  plies = std::min(plies, uint32_t(MaxGamePly));
  for (uint32_t i = 0; i < plies; i++) {
    const char* token = game.moves[i].c_str();
    Move move = parseMove(*position, token);
    if (move == 0) {
      printBoard(*position, &standardOutput());
      printf("illegal move: %s\n", token);
      counts.errors++;
      return false;
    }
    uint64_t key = bookKey(*position);
    // The parser's word carries the check flags, so the next parse sees a check.
    Move made = makeMove(*position, move);
    if (made == 0) {
      printBoard(*position, &standardOutput());
      printf("move not accepted: %s\n", token);
      return false;
    }
    position->lastMove = made;
    int promotion = movePromotion(move);
    if (promotion != 0 && promotion != Queen) break;  // books store queen promotions only
    uint8_t from = uint8_t(moveFrom(move) | ((i & 1) ? 0x80 : 0));
    uint8_t to = uint8_t(moveTo(move));
    BookEntry& slot = slots[findSlot(key, from, to)];
    if (slot.games() == 0) {
      slot.key = key;
      slot.from = from;
      slot.to = to;
      counts.slotsInUse++;
    }
    if (counter == 0)
      slot.wins++;
    else if (counter == 1)
      slot.draws++;
    else
      slot.losses++;
    slot.ratingSum += shares[i & 1];
    counts.movesStored++;
    counter = 2 - counter;  // a win for one side is a loss for the other; draws stay
  }
  counts.gamesUsed++;
  return true;
}

void BookTable::filterMoves() {
  for (uint32_t i = 0; i < capacity; i++) {
    BookEntry& slot = slots[i];
    uint32_t games = slot.games();
    if (games == 0) continue;
    bool drop = true;
    if (games < uint32_t(std::max(build.minGames, 0))) {
      counts.minGamesDrops++;
    } else if (moveElo(slot.ratingSum) < build.minQuality) {
      counts.minQualityDrops++;
    } else if ((2.0 * slot.wins + slot.draws) / (2.0 * games) < build.minScore[slot.from >> 7]) {
      counts.minScoreDrops++;
    } else {
      drop = false;
    }
    if (drop) slot = BookEntry{};
  }
}

void BookTable::sortEntries() {
  // Moves of equal games are ordered by their squares, so that the order (and with it the
  // keep filter) does not depend on where the hash put them.
  std::sort(slots, slots + capacity, [](const BookEntry& a, const BookEntry& b) {
    if (a.key != b.key) return a.key < b.key;
    if (a.games() != b.games()) return a.games() > b.games();
    if ((a.from & 0x7F) != (b.from & 0x7F)) return (a.from & 0x7F) < (b.from & 0x7F);
    return a.to < b.to;
  });
}

int BookTable::countPositions() const {
  int positions = 0;
  for (uint32_t i = 0; i < capacity; i++)
    if (slots[i].key != 0 && (i == 0 || slots[i].key != slots[i - 1].key)) positions++;
  return positions;
}

void BookTable::keepMostPlayed() {
  uint32_t i = 0;
  while (i < capacity) {
    if (slots[i].key == 0) {
      i++;
      continue;
    }
    uint32_t end = i;
    int64_t total = 0;
    while (end < capacity && slots[end].key == slots[i].key) total += slots[end++].games();
    int64_t budget = int64_t(double(total) * build.keepPct + 0.5);
    for (uint32_t j = i; j < end; j++) {
      if (budget < 0) {
        slots[j] = BookEntry{};
        counts.keepDrops++;
      } else {
        budget -= slots[j].games();
      }
    }
    i = end;
  }
}

RcString defaultBookName(const char* pgnFile) {
  const char* base = pgnFile;
  for (const char* p = pgnFile; *p; p++)
    if (*p == '/' || *p == '\\') base = p + 1;
  const char* dot = strrchr(base, '.');
  RcString name(base, dot ? int(dot - base) : int(strlen(base)));
  name.append(".mvk");
  return name;
}

bool buildBook(BookTable& table, RcString& bookName, const char* iniFile, const char* pgnFile,
               int maxGames) {
  if (!pgnFile || !*pgnFile) {
    printf("no pgnfile!\n");
    return false;
  }
  Settings criteria;
  if (iniFile && !criteria.load(iniFile)) {
    printf("could not load inifile: %s\n", iniFile);
    return false;
  }
  if (bookName.empty()) bookName = criteria.get("book.build.file");
  if (bookName.empty()) bookName = defaultBookName(pgnFile);
  PgnReader reader;
  if (!reader.open(pgnFile)) {
    printf("could not open pgn-file: %s\n", pgnFile);
    return false;
  }
  BookBuildSettings& build = table.build;
  readBuildSettings(build, criteria);
  table.clearCounts();
  BookBuildCounts& counts = table.counts;

  printf("Book configuration\n---------------------\n");
  printf("pgnfile    = %s\n", pgnFile);
  printf("inifile    = %s\n", iniFile ? iniFile : "(built-in criteria)");
  printf("bookfile   = %s\n", bookName.c_str());
  printf("minelo     = %4i\n", build.minElo);
  printf("maxelodelta= %4i\n", build.maxEloDelta);
  printf("minply     = %4i\n", build.minPly);
  printf("maxply     = %4i\n", build.maxPly);
  printf("mingames   = %4i\n", build.minGames);
  printf("minquality = %4i\n", build.minQuality);
  printf("minscorew  = %4i\n", percentOf(build.minScore[White]));
  printf("minscoreb  = %4i\n", percentOf(build.minScore[Black]));
  printf("keeppct    = %4i\n", percentOf(build.keepPct));
  printf("---------------------\n");
  if (build.maxPly < 1) {
    printf("-->nothing to do: maxply=%i\n", build.maxPly);
    return false;
  }

  printf("\nprocessing...\n");
  uint32_t threshold = 0;
  // A game adds at most this many slots; the table always keeps room for one more game.
  const uint32_t gameSlots = uint32_t(std::min(build.maxPly, MaxGamePly));
  for (;;) {
    if (maxGames >= 1 && counts.gamesRead >= maxGames) break;
    if (counts.slotsInUse >= threshold || counts.slotsInUse + gameSlots >= table.capacity) {
      if (!table.resize(table.capacity * 2)) {
        printf("ABORT: resize() failed, #entries=%u\n", threshold);
        break;
      }
      threshold = table.capacity - table.capacity / 4;
    }
    PgnGame* game = reader.nextGame();
    if (!game) break;
    int number = counts.gamesRead++;
    if (number > 0 && number % 1000 == 0) {
      putchar('.');
      fflush(stdout);
    }
    if (!table.addGame(*game))
      printf("-->error in line %i, game %i\n", int(reader.lineNumber()), number);
  }
  reader.close();
  if (counts.gamesRead == 0) {
    printf("-->no games!\n");
    return false;
  }
  if (counts.slotsInUse == 0) {
    printf("-->no moves!\n");
    return false;
  }

  const int read = counts.gamesRead;
  printf("\ngames.read  =%8i\n", read);
  printf("   -error   =%8i  (%3i%%)\n", counts.errors, dropShare(counts.errors, read));
  printf("   -minply  =%8i  (%3i%%)\n", counts.minPlyDrops, dropShare(counts.minPlyDrops, read));
  printf("   -minelo  =%8i  (%3i%%)\n", counts.minEloDrops, dropShare(counts.minEloDrops, read));
  printf("   -maxelo  =%8i  (%3i%%)\n", counts.maxEloDrops, dropShare(counts.maxEloDrops, read));
  printf("   -noresult=%8i  (%3i%%)\n", counts.noResult, dropShare(counts.noResult, read));
  printf("games.used  =%8i  (%3i%%)\n", counts.gamesUsed, (100 * counts.gamesUsed) / read);
  if (counts.gamesUsed == 0) {
    printf("-->no games left!\n");
    return false;
  }

  printf("\nmoves      =%8i\n", counts.movesStored);
  printf("moves-uniq =%8i\n", int(counts.slotsInUse));
  printf("filtering...\n");
  table.filterMoves();
  const int slots = int(counts.slotsInUse);
  printf("filtered, slots=%u\n", counts.slotsInUse);
  printf(" -mingames  =%8i  (%3i%%)\n", counts.minGamesDrops,
         dropShare(counts.minGamesDrops, slots));
  printf(" -minmoveelo=%8i  (%3i%%)\n", counts.minQualityDrops,
         dropShare(counts.minQualityDrops, slots));
  printf(" -minscore  =%8i  (%3i%%)\n", counts.minScoreDrops,
         dropShare(counts.minScoreDrops, slots));
  counts.slotsInUse -= counts.minGamesDrops + counts.minQualityDrops + counts.minScoreDrops;
  printf("moves      =%8i\n", int(counts.slotsInUse));

  printf("sorting...\n");
  table.sortEntries();
  counts.positions = table.countPositions();
  const double perPosition = counts.positions ? double(counts.slotsInUse) / counts.positions : 0.0;
  printf("positions  =%8i\n", counts.positions);
  printf("moves/pos  =%8.2f\n", perPosition);
  printf("moves      =%8i\n", int(counts.slotsInUse));
  printf("filtering...\n");
  table.keepMostPlayed();
  printf("     -keep =%8i  (%3.1f%%)\n", counts.keepDrops,
         counts.slotsInUse ? (-100.0 * counts.keepDrops) / counts.slotsInUse : 0.0);
  counts.slotsInUse -= counts.keepDrops;
  printf("moves      =%8i\n", int(counts.slotsInUse));
  printf("moves/pos  =%8.2f\n",
         counts.positions ? double(counts.slotsInUse) / counts.positions : 0.0);

  setFen(*table.position, InitialFen);
  printf("\n\n");
  return saveBook(table.slots, table.capacity, bookName.c_str());
}
