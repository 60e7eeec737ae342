#pragma once
// Every weight of the evaluation, by name, as the tuning tools see them: the tuning build of the
// evaluation (MELVOK_EVAL_TRACE), whose weights are writable and whose scores name the weights
// they depend on by the ids given here.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "eval/eval_tables.h"

// One table of weights (or one scalar) as the evaluation declares it.
struct WeightTable {
  const char* name;
  int16_t* entries;      // null for a scalar
  TracedWeight* scalar;  // null for a table
  int count;             // entries (1 for a scalar)
  int squareTables;      // how many 8x8 square tables the entries form (0: a plain list)
  bool inSourceFile;     // defined in eval_tables.cpp (EVAL_DATA) rather than the header
  int firstId;           // the id of entry 0; the others follow

  int get(int i) const { return entries ? entries[i] : scalar->value; }
  void set(int i, int v) const {
    if (entries)
      entries[i] = int16_t(v);
    else
      scalar->value = v;
  }
};

// Every weight table, in the order eval_tables.h declares them. A weight added to
// the evaluation is seen by the tuner only once it is listed in eval_weights.cpp.
const std::vector<WeightTable>& weightTables();
// Weight entries in all: ids run from 0 to this less one.
int weightCount();
// The table of an id and the entry's index in it.
struct WeightEntry {
  const WeightTable* table;
  int index;
};
WeightEntry weightEntry(int id);
// "PawnValue", "knightMobilityMg[3]", "pawnSquareMg[2][5]" (row, file), "shelterTable[0][4][1]".
std::string weightName(int id);
int weightValue(int id);
void setWeightValue(int id, int value);

// The declaration of a table with its present values, in the layout of eval_tables.h.
std::string tableSource(const WeightTable& table);
// Writes the present values of `table` into its declaration in `source` (the text of
// eval_tables.h or eval_tables.cpp): the numbers after its '=' are replaced in order, the layout
// and the comments kept. False with a message in `error` when `source` declares no such table or
// its declaration holds another count of numbers.
bool writeTableInto(std::string& source, const WeightTable& table, std::string& error);
