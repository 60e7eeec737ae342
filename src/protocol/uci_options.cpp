// The UCI options: the engine's option rows and the ones the UCI protocol adds, listed by "uci"
// and set by "setoption", so that the listing can never disagree with what setoption does or
// with the values in force.
#include "base/diagnostics.h"
#include "base/log.h"
#include "protocol/uci_driver.h"

namespace {

const char* typeName(OptionType type) {
  switch (type) {
    case OptionType::Spin:
      return "spin";
    case OptionType::Check:
      return "check";
    case OptionType::String:
      return "string";
    case OptionType::Combo:
      return "combo";
    case OptionType::Button:
      return "button";
  }
  return "";
}

// A string option's empty value, as interfaces write it.
constexpr const char* EmptyText = "<empty>";

// A UCI row (the other protocols have their own ways to say these things).
OptionRow forUci(OptionRow row) {
  row.places = ForUci;
  return row;
}

OptionRow checkRow(const char* name, bool& flag) {
  return forUci(checkOption(
      name, [&flag] { return checkText(flag); },
      [&flag, name](const std::string& value) {
        flag = value == "true";
        logInfo("%s=%i\n", name, flag ? 1 : 0);
        return std::string();
      }));
}

OptionRow atomicCheckRow(const char* name, std::atomic<bool>& flag) {
  return forUci(checkOption(
      name, [&flag] { return checkText(flag); },
      [&flag](const std::string& value) {
        flag = value == "true";
        return std::string();
      }));
}

// A string the interface may send that changes nothing (information only).
OptionRow stringRow(const char* name, std::string shown) {
  return forUci(stringOption(
      name, [shown] { return shown; }, [](const std::string&) { return std::string(); }));
}

}  // namespace

// The rows only UCI has: what the interface tells of the game (pondering, Chess960, analysis,
// the opponent) and how moves are written.
void UciDriver::addOptions() {
  OptionRegistry& options = engine_.options();
  options.add(checkRow("Ponder", canPonder_));
  options.add(checkRow("OwnBook", ownBook_));
  options.add(stringRow("UCI_Opponent", ""));
  options.add(
      stringRow("UCI_EngineAbout",
                std::string("melvok, a chess engine for UCI and WinBoard, by ") + UciAuthor));
  // Read by the search thread when it writes its lines: atomic flags.
  options.add(atomicCheckRow("UCI_Chess960", chess960_));
  options.add(atomicCheckRow("UCI_ShowWDL", showWdl_));
  // Only "smart" and "e1g1" give castling moves as UCI writes them in every game; "O-O" and the
  // king taking its rook outside Chess960 are for the console and the settings file.
  OptionRow castling = comboOption(
      "CastleNotation", [this] { return std::string(castleNotationName(castleNotation_)); },
      {"smart", "e1g1"},
      [this](const std::string& value) {
        castleNotation_ = castleNotationFromName(value.c_str());
        return std::string();
      });
  castling.unlistedChoices = {"O-O", "KxR"};
  castling.places = ForUci | ForConsole;
  castling.settingsKey = "uci.castlenotation";
  options.add(castling);
  options.add(checkRow("UCI_AnalyseMode", analyseMode_));
}

std::string UciDriver::optionListing() const {
  std::string text;
  for (const OptionRow& row : engine_.options().rows()) {
    if (!(row.places & ForUci)) continue;
    text += "option name " + row.name + " type " + typeName(row.type);
    if (row.type != OptionType::Button) {
      const std::string value = row.current();
      text += " default ";
      text += value.empty() && row.type == OptionType::String ? EmptyText : value;
    }
    if (row.type == OptionType::Spin)
      text += " min " + std::to_string(row.min) + " max " + std::to_string(row.max);
    for (const std::string& choice : row.choices) text += " var " + choice;
    text += "\n";
  }
  return text;
}

// "setoption name <name> [value <value>]": the name may have several words (and the padding
// some interfaces keep from the listing); without the word "value" the name is the longest run
// of leading words that names an option and the rest is the value.
void UciDriver::setOption() {
  RcString word = args_.next();
  if (word == "name") word = args_.next();
  std::vector<std::string> words;
  for (; !word.empty() && !(word == "value"); word = args_.next()) words.emplace_back(word.c_str());
  const std::string given = args_.rest().trim().c_str();
  const OptionRegistry& options = engine_.options();
  // Without the word "value" the words after the name are the value.
  std::string value;
  const OptionRow* row = options.findLeading(words, words.size(), ForUci, value);
  if (!given.empty()) value += (value.empty() ? "" : " ") + given;
  if (!row) {
    reportError("Option not supported: %s\n", words.empty() ? "" : words[0].c_str());
    return;
  }
  if (value == EmptyText) value.clear();
  const std::string answer = options.set(*row, value);
  if (!answer.empty()) diagnostic("%s\n", answer.c_str());
}
