#include "app/book_commands.h"

#include <cstdio>
#include <memory>

#include "base/file_system.h"
#include "base/settings.h"
#include "book/book_builder.h"
#include "book/book_merge.h"

BookChooser openingBook;

bool loadOpeningBook(const char* name, const Settings& settings, Position& pos) {
  openingBook.reader.position = &pos;
  return openingBook.loadBook(name, settings);
}

void closeOpeningBook() { openingBook.reader.close(); }

bool openingBookIsOpen() { return openingBook.reader.isOpen(); }

Move pickOpeningBookMove(Position& pos) {
  if (!openingBook.reader.isOpen()) return 0;
  openingBook.reader.position = &pos;
  return openingBook.pickBookMove();
}

void showOpeningBook(Position& pos) {
  if (!openingBook.reader.isOpen()) {
    printf("book not open!\n");
    return;
  }
  openingBook.reader.position = &pos;
  openingBook.showBook();
}

void logOpeningBook() {
  if (!openingBook.reader.isOpen()) {
    printf("book not open!\n");
    return;
  }
  logBook(openingBook.reader);
}

bool buildOpeningBook(Position& pos, const char* pgnFile, const char* iniFile, int maxGames,
                      RcString& written) {
  closeOpeningBook();
  auto table = std::make_unique<BookTable>(&pos);
  written = RcString("");
  return buildBook(*table, written, iniFile, pgnFile, maxGames);
}

bool mergeOpeningBooks(const char* master, const char* secondary, const char* result) {
  closeOpeningBook();
  return mergeBooks(master, secondary, result);
}

void bookCommand(Position& pos) { showOpeningBook(pos); }

void loadBookCommand(const char* rest, const Settings& settings, Position& pos) {
  loadOpeningBook(rest, settings, pos);
}

void logBookCommand() { logOpeningBook(); }

void buildBookCommand(const char* rest, const char* defaultIniFile, const Settings& settings,
                      Position& pos) {
  closeOpeningBook();
  char pgnFile[201] = "", iniFile[201] = "";
  int maxGames = 0;
  int fields = rest && *rest ? sscanf(rest, "%200s %200s %i", pgnFile, iniFile, &maxGames) : 0;
  if (fields < 1) {
    printf("Usage:\n    buildbook <pgnfile> [inifile [maxgames]]]\n");
    return;
  }
  const char* criteria = fields >= 2 ? iniFile : defaultIniFile;
  // Without a settings file a new user still gets a book; a file named on the line must exist.
  if (fields < 2 && !FileSystem::fileExists(defaultIniFile)) {
    printf("no inifile %s: building with the built-in criteria\n", defaultIniFile);
    criteria = nullptr;
  }
  RcString written;
  if (!buildOpeningBook(pos, pgnFile, criteria, maxGames, written)) return;
  printf("opening %s...\n", written.c_str());
  loadOpeningBook(written.c_str(), settings, pos);
  showOpeningBook(pos);
}

void mergeBookCommand(const char* rest, Position& pos) {
  closeOpeningBook();
  char master[201] = "", secondary[201] = "", result[201] = "";
  int fields = rest && *rest ? sscanf(rest, "%200s %200s %200s", master, secondary, result) : 0;
  if (fields < 3) {
    printf("Usage:\n    mergebook <masterbook> <secondarybook> <resultbook>\n");
    return;
  }
  if (!mergeBooks(master, secondary, result)) return;
  // The result is opened as it stands: no "book found" line, the play settings stay.
  openingBook.reader.position = &pos;
  openingBook.reader.open(result);
  showOpeningBook(pos);
}
