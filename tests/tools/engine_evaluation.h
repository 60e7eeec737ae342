#pragma once
// The engine's own evaluation, for comparison with the tuning build's (which every other file of
// these tests sees).
#include <string>

// The engine's score of the position, for the side to move.
int engineEvaluation(const std::string& fen);
