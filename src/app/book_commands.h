#pragma once
// The opening book as the console shell sees it: the program-wide book and one function per
// command, each printing its own messages. The protocol drivers get only its move picker.
#include "base/rc_string.h"
#include "book/book_chooser.h"

class Settings;

// The program-wide book: the open book file and the chooser that picks from it.
extern BookChooser openingBook;

// "book.file" at start-up and "loadbook": prints "book found: ..." or "could not read book
// file: ..." and takes the "book.play." settings. An empty name fails silently.
bool loadOpeningBook(const char* name, const Settings& settings, Position& pos);
void closeOpeningBook();
bool openingBookIsOpen();
// The book move for pos drawn by weight, or 0 (no book, not in book, past book.play.maxply).
Move pickOpeningBookMove(Position& pos);
// The book moves of pos with their statistics, or "book not open!".
void showOpeningBook(Position& pos);
// Statistics of the open book, or "book not open!".
void logOpeningBook();
// Builds a book from pgnFile under the criteria of iniFile (null: the built-in criteria;
// maxGames < 1: all games); `written` receives the name of the book file. The open book is
// closed first.
bool buildOpeningBook(Position& pos, const char* pgnFile, const char* iniFile, int maxGames,
                      RcString& written);
// Merges two books into a third; the open book is closed first.
bool mergeOpeningBooks(const char* master, const char* secondary, const char* result);

// The console commands, given the text after the command word.
void bookCommand(Position& pos);                                                  // book
void loadBookCommand(const char* rest, const Settings& settings, Position& pos);  // loadbook
void logBookCommand();                                                       // logbook
// buildbook <pgnfile> [inifile [maxgames]]; inifile defaults to the engine's settings file,
// and when that does not exist the built-in criteria are used.
void buildBookCommand(const char* rest, const char* defaultIniFile, const Settings& settings,
                      Position& pos);
// mergebook <masterbook> <secondarybook> <resultbook>
void mergeBookCommand(const char* rest, Position& pos);
