#include "book/pgn_reader.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

const char* const resultStrings[4] = {"*", "1/2-1/2", "1-0", "0-1"};

namespace {

// Numeric annotations $1..$6 in their usual glyphs.
const char* const annotationGlyphs[7] = {"", "!", "?", "!!", "??", "!?", "?!"};

struct TagField {
  const char* prefix;
  RcString PgnGame::*field;
};

}  // namespace

void PgnGame::clear() {
  fen = white = black = date = event = site = round = eco = warning = RcString("");
  inComment = false;
  variationDepth = 0;
  whiteElo = blackElo = 0;
  result = ResultNone;
  moves.clear();
}

bool PgnReader::open(const char* path) {
  close();
  if (!path || !*path) return false;
  file_ = fopen(path, "rb");
  if (!file_) return false;
  text_.setHandle(file_);
  lines_ = 0;
  return true;
}

void PgnReader::close() {
  if (file_) fclose(file_);
  file_ = nullptr;
  text_.setHandle(nullptr);
}

bool PgnReader::atEnd() const { return !file_ || feof(file_); }

char* PgnReader::readLine() {
  char* line = text_.readline();
  if (!line) return nullptr;
  lines_++;
  // Files written on Windows end their lines with a carriage return as well.
  size_t length = strlen(line);
  while (length > 0 && line[length - 1] == '\r') line[--length] = 0;
  return line;
}

void PgnReader::parseTagLine(const char* line) {
  static const TagField fields[] = {
      {"[Event ", &PgnGame::event},    {"[Site ", &PgnGame::site},   {"[Date ", &PgnGame::date},
      {"[EventDate ", &PgnGame::date}, {"[Round ", &PgnGame::round}, {"[White ", &PgnGame::white},
      {"[Black ", &PgnGame::black},    {"[WhiteElo ", nullptr},      {"[BlackElo ", nullptr},
      {"[FEN ", &PgnGame::fen},        {"[ECO ", &PgnGame::eco},     {"[Result ", nullptr},
  };
  const char* valueStart = "";
  const char* space = strchr(line, ' ');
  if (space) {
    const char* quote = strchr(space, '"');
    if (quote) valueStart = quote + 1;
  }
  const char* valueEnd = strchr(valueStart, '"');
  int valueLength = valueEnd ? int(valueEnd - valueStart) : int(strlen(valueStart));
  RcString value(valueStart, valueLength);

  for (const TagField& tag : fields) {
    if (strncmp(line, tag.prefix, strlen(tag.prefix)) != 0) continue;
    if (tag.field) {
      game_.*tag.field = value;
    } else if (tag.prefix[1] == 'W') {
      game_.whiteElo = atoi(value.c_str());
    } else if (tag.prefix[1] == 'B') {
      game_.blackElo = atoi(value.c_str());
    } else {
      int result = -1;
      for (int r = 0; r < 4 && result < 0; r++)
        if (strncmp(value.c_str(), resultStrings[r], strlen(resultStrings[r])) == 0) result = r;
      if (result >= 0) {
        game_.result = result;
      } else {
        game_.warning = RcString("invalid result: ");
        game_.warning.append(valueStart);
      }
    }
    return;
  }
}

void PgnReader::addToken(const char* token, int length) {
  if (length == 0) return;
  if (*token == '*' || *token == '1' || *token == '0') {
    for (int r = 0; r < 4; r++) {
      int size = int(strlen(resultStrings[r]));
      if (length < size || strncmp(token, resultStrings[r], size) != 0) continue;
      if (game_.result != ResultNone && game_.result != r) {
        game_.warning = RcString("Warning: mixed results: ");
        game_.warning.append(resultStrings[r]);
        game_.warning.append(" <> ");
        game_.warning.append(resultStrings[game_.result]);
      } else {
        game_.result = r;
      }
      return;
    }
  }
  // Move numbers: "12." and "12..." in front of a move, or standing alone.
  while (length > 0 && (isdigit(uint8_t(*token)) || *token == '.')) {
    token++;
    length--;
  }
  if (length == 0) return;
  if (*token == '$') {
    if (length < 2 || !isdigit(uint8_t(token[1]))) {
      game_.moves.emplace_back(token, length);  // no annotation: the builder rejects it
      return;
    }
    int glyph = token[1] - '0';
    if (glyph >= 1 && glyph <= 6 && !game_.moves.empty())
      game_.moves.back().append(annotationGlyphs[glyph]);
    return;
  }
  if (*token == '+' || *token == '-' || *token == '=') return;  // evaluation symbols
  game_.moves.emplace_back(token, length);
}

void PgnReader::parseMovetextLine(const char* line) {
  const char* text = line;
  while (*text == ' ') text++;
  while (*text) {
    if (game_.inComment) {
      const char* close = strchr(text, '}');
      if (!close) return;  // the comment goes on on the next line
      game_.inComment = false;
      text = close + 1;
      continue;
    }
    if (game_.variationDepth > 0 || *text == '(') {
      // A variation is followed to its closing parenthesis, across lines and past comments.
      const char* p = text;
      for (; *p; p++) {
        if (*p == '(') {
          game_.variationDepth++;
        } else if (*p == ')') {
          if (--game_.variationDepth == 0) {
            p++;
            break;
          }
        } else if (*p == '{') {
          game_.inComment = true;
          p++;
          break;
        } else if (*p == ';') {
          return;  // the rest of the line is a comment
        }
      }
      text = p;
      continue;
    }
    if (*text == '{') {
      game_.inComment = true;
      text++;
      continue;
    }
    if (*text == ';') return;  // a comment to the end of the line
    int length = int(strcspn(text, " \t"));
    addToken(text, length);
    text += length;
    text += strspn(text, " \t");
  }
}

PgnGame* PgnReader::nextGame() {
  if (atEnd()) return nullptr;
  game_.clear();
  bool anyLine = false;
  bool inHeader = true;
  for (;;) {
    char* line = readLine();
    if (!line) break;
    anyLine = true;
    bool tagLine = line[0] == '[' && !game_.inComment;
    if (inHeader && tagLine) {
      parseTagLine(line);
      if (atEnd()) break;
      continue;
    }
    inHeader = false;
    if (tagLine) {
      parseTagLine(line);
    } else {
      parseMovetextLine(line);
    }
    if (atEnd()) break;
    if (!game_.inComment) {
      // The next game's tags end this game.
      int next = getc(file_);
      if (next != EOF) ungetc(next, file_);
      if (next == '[') break;
    }
  }
  if (!anyLine) return nullptr;
  if (game_.warning.empty()) {
    if (game_.inComment)
      game_.warning = RcString("unterminated comment");
    else if (game_.variationDepth > 0)
      game_.warning = RcString("unterminated variation");
  }
  if (!game_.warning.empty()) printf("line %u: WARN %s\n", lines_, game_.warning.c_str());
  return &game_;
}
