#include "eval/pawn_hash.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/platform.h"

MELVOK_EVAL_BEGIN

namespace {
constexpr size_t TableAlignment = 256;
}

PawnHash::~PawnHash() { freeLargeBlock(entries_); }

void resizePawnHash(PawnHash& hash, uint32_t entries) {
  uint32_t size = 1;
  while (size <= entries / 2) size *= 2;
  const size_t bytes = size_t(size) * sizeof(PawnEntry);
  auto* block = static_cast<PawnEntry*>(allocateLargeBlock(bytes, TableAlignment));
  if (block == nullptr) {
    std::fprintf(stderr, "failed to allocate %u bytes for pawnhash\n", unsigned(bytes));
    std::abort();
  }
  freeLargeBlock(hash.entries_);
  hash.entries_ = block;
  std::memset(hash.entries_, 0, size_t(size) * sizeof(PawnEntry));
  hash.entries_[0].check = 1;
  hash.mask_ = size - 1;
  hash.hits = 0;
  hash.misses = 0;
}

MELVOK_EVAL_END
