// This file alone sees the engine's evaluation: its constant weights and plain scores.
#undef MELVOK_EVAL_TRACE

#include "engine_evaluation.h"

#include <memory>

#include "eval/evaluator.h"
#include "support/positions.h"

int engineEvaluation(const std::string& fen) {
  auto pos = positionFrom(fen);
  static auto eval = std::make_unique<Evaluator>(*pos);
  eval->attach(*pos);
  return eval->evaluateUncached();
}
