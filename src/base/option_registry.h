#pragma once
// The options a user can set, one row each: name, type, current value, bounds or choices, what
// setting it does, and where it may be set (the UCI and WinBoard option lists, the console's
// `set`, the settings file). The UCI listing and setoption, WinBoard's feature lines and option
// command, the console and the start-up settings all go through these rows, so a limit is stated
// once and every place shows what the engine really uses.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

enum class OptionType { Spin, Check, String, Combo, Button };

// Where a row may be set; a row may be set in several places.
enum OptionPlace : unsigned {
  ForUci = 1,
  ForWinBoard = 2,
  ForConsole = 4,
  ForAll = ForUci | ForWinBoard | ForConsole,
};

struct OptionRow {
  std::string name;  // as interfaces show it: "Hash", "Clear Hash", "SyzygyPath"
  OptionType type = OptionType::Button;
  // The value in force, as text (spin: a number, check: "true"/"false"); buttons have none.
  std::function<std::string()> current;
  int min = 0, max = 0;              // spin
  std::vector<std::string> choices;  // combo
  // Combo values taken when set but not offered in the lists (a value an interface cannot use,
  // kept for the settings file, the console and interfaces that stored it).
  std::vector<std::string> unlistedChoices;
  // Sets the value (spin values arrive clamped, check values as "true"/"false", combo values as
  // one of the choices, buttons empty). A non-empty answer is told to the user.
  std::function<std::string(const std::string& value)> apply;
  unsigned places = ForAll;
  std::string settingsKey;  // the settings file's key for it, if it has one
};

class OptionRegistry {
 public:
  void add(OptionRow row);
  const std::vector<OptionRow>& rows() const { return rows_; }
  // The row of that name (case does not count, as in UCI), or null.
  const OptionRow* find(const std::string& name) const;
  // For a line of words that starts with an option's name (names may have several words): the
  // row settable in `place` named by the longest run of at most `maxNameWords` leading words,
  // or null. `value` gets the words after the name, joined by single blanks.
  const OptionRow* findLeading(const std::vector<std::string>& words, size_t maxNameWords,
                               unsigned place, std::string& value) const;
  // Sets a row from text: a spin clamped to its bounds, a check from true/false (also 1/0,
  // on/off), a combo only to one of its choices (case does not count). Returns what the user
  // should be told: empty when the value was taken quietly.
  std::string set(const OptionRow& row, const std::string& value) const;

 private:
  std::vector<OptionRow> rows_;
};

// The value text for a check row.
inline std::string checkText(bool on) { return on ? "true" : "false"; }

// Rows of each type (where they may be set and their settings key are set afterwards).
using OptionValue = std::function<std::string()>;
using OptionApply = std::function<std::string(const std::string& value)>;
OptionRow spinOption(std::string name, OptionValue current, int min, int max, OptionApply apply);
OptionRow checkOption(std::string name, OptionValue current, OptionApply apply);
OptionRow stringOption(std::string name, OptionValue current, OptionApply apply);
OptionRow comboOption(std::string name, OptionValue current, std::vector<std::string> choices,
                      OptionApply apply);
OptionRow buttonOption(std::string name, OptionApply apply);
