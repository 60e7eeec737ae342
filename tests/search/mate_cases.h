#pragma once
// Mates in one to three (and a side that gets mated) with their exact scores, checked with an
// outside engine; an empty move means several moves mate as fast.
struct MateCase {
  const char* fen;
  int score;
  const char* move;
};

inline constexpr MateCase mateCases[] = {
    {"6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1", 29999, "a1a8"},
    {"7k/8/8/8/8/8/R7/1R4K1 w - - 0 1", 29997, ""},
    {"k7/8/8/3K4/8/8/8/7Q w - - 0 1", 29995, ""},
    {"7k/8/6K1/8/8/8/8/1R6 b - - 0 1", -29998, "h8g8"},
    {"r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4", 29999, "h5f7"},
};
