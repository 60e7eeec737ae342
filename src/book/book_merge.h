#pragma once
// Whole-book tools: merging two books into a third, and the statistics of an open book.
#include "book/book_file.h"

// Joins two books: positions of only one book are copied; for a position in both, the
// master's moves are taken. The result is written under a temporary name and only replaces
// resultBook when it is complete.
bool mergeBooks(const char* masterBook, const char* secondaryBook, const char* resultBook);

// Prints a histogram of the open book's records by number of games and lists the records
// without games.
void logBook(BookReader& reader);

// Prints one record line: move, games, win%, draw%, score% and the move Elo if known.
void showEntry(const BookEntry& entry, const char* text);
