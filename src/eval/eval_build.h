#pragma once
// The evaluation is compiled twice: for the engine, with its weights as constants and its scores
// as plain numbers, and for the tuning tools (MELVOK_EVAL_TRACE), with writable weights and
// scores that carry their dependence on every weight (traced_score.h). The tools' copy lives in
// a namespace of its own, so that one program can hold both and compare them.
#ifdef MELVOK_EVAL_TRACE
#define MELVOK_EVAL_BEGIN inline namespace traced {
#define MELVOK_EVAL_END }
#else
#define MELVOK_EVAL_BEGIN
#define MELVOK_EVAL_END
#endif
