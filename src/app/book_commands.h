#pragma once
// The opening book as the program has it: the open book file and the chooser that picks from it
// (which the engine asks for its moves), and the console's book commands, each printing its own
// messages.
#include <string>

#include "base/option_registry.h"
#include "base/rc_string.h"
#include "book/book_chooser.h"
#include "search/opening_book.h"

class Settings;

class BookShelf : public OpeningBook {
 public:
  // A book move for pos drawn by weight, or 0 (no book, not in book, past book.play.maxply).
  Move pick(Position& pos) override;

  // "book.file" at start-up and "loadbook": prints "book found: ..." or "could not read book
  // file: ..." and takes the "book.play." settings. An empty name fails silently.
  bool load(const char* name, const Settings& settings);
  void close() {
    chooser_.reader.close();
    name_.clear();
  }
  // The name the open book was loaded by (empty: none).
  const std::string& name() const { return name_; }
  // The "Book File" option: the book to open (empty: none), relative paths from the program's
  // folder; the settings file's "book.file" gives its first value.
  void addOptions(OptionRegistry& options, const Settings& settings);
  bool isOpen() const { return chooser_.reader.isOpen(); }
  void seed(uint32_t value) { chooser_.seed(value); }
  // The book moves of pos with their statistics, or "book not open!".
  void show(const Position& pos);
  // Statistics of the open book, or "book not open!".
  void logStatistics();

  // The console commands, given the text after the command word.
  // buildbook <pgnfile> [inifile [maxgames]]; inifile defaults to the engine's settings file,
  // and when that does not exist the built-in criteria are used. The open book is closed first
  // and the new one opened; the games are replayed on pos, which then stands at the start.
  void buildCommand(const char* rest, const char* defaultIniFile, const Settings& settings,
                    Position& pos);
  // mergebook <masterbook> <secondarybook> <resultbook>: the open book is closed first, the
  // result opened.
  void mergeCommand(const char* rest, const Position& pos);

 private:
  BookChooser chooser_;
  std::string name_;
};
