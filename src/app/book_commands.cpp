#include "app/book_commands.h"

#include <cstdio>
#include <memory>

#include "base/file_system.h"
#include "base/settings.h"
#include "book/book_builder.h"
#include "book/book_merge.h"

Move BookShelf::pick(Position& pos) {
  return chooser_.reader.isOpen() ? chooser_.pickBookMove(pos) : 0;
}

bool BookShelf::load(const char* name, const Settings& settings) {
  const bool loaded = chooser_.loadBook(name, settings);
  name_ = loaded ? name : "";
  return loaded;
}

void BookShelf::addOptions(OptionRegistry& options, const Settings& settings) {
  OptionRow file = stringOption(
      "Book File", [this] { return name_; },
      [this, &settings](const std::string& value) {
        if (value.empty()) {
          close();
          return std::string("book closed");
        }
        load(FileSystem::resolve(value).c_str(), settings);
        return std::string();
      });
  file.settingsKey = "book.file";
  options.add(file);
}

void BookShelf::show(const Position& pos) {
  if (!isOpen()) {
    printf("book not open!\n");
    return;
  }
  chooser_.showBook(pos);
}

void BookShelf::logStatistics() {
  if (!isOpen()) {
    printf("book not open!\n");
    return;
  }
  logBook(chooser_.reader);
}

void BookShelf::buildCommand(const char* rest, const char* defaultIniFile, const Settings& settings,
                             Position& pos) {
  close();
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
  // The builder replays the games on the game's position, which then stands at the start.
  auto table = std::make_unique<BookTable>(&pos);
  RcString written("");
  if (!buildBook(*table, written, criteria, pgnFile, maxGames)) return;
  printf("opening %s...\n", written.c_str());
  load(written.c_str(), settings);
  show(pos);
}

void BookShelf::mergeCommand(const char* rest, const Position& pos) {
  close();
  char master[201] = "", secondary[201] = "", result[201] = "";
  int fields = rest && *rest ? sscanf(rest, "%200s %200s %200s", master, secondary, result) : 0;
  if (fields < 3) {
    printf("Usage:\n    mergebook <masterbook> <secondarybook> <resultbook>\n");
    return;
  }
  if (!mergeBooks(master, secondary, result)) return;
  // The result is opened as it stands: no "book found" line, the play settings stay.
  chooser_.reader.open(result);
  show(pos);
}
