#include "eval/pawn_hash.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {
constexpr size_t TableAlignment = 256;
}

PawnHash::~PawnHash() { std::free(block_); }

void resizePawnHash(PawnHash& hash, uint32_t entries) {
  uint32_t size = 1;
  while (size <= entries / 2) size *= 2;
  const size_t bytes = size_t(size) * sizeof(PawnEntry) + TableAlignment;
  void* block = std::malloc(bytes);
  if (block == nullptr) {
    std::fprintf(stderr, "failed to allocate %u bytes for pawnhash\n", unsigned(bytes));
    std::abort();
  }
  std::free(hash.block_);
  hash.block_ = block;
  const uintptr_t aligned = (reinterpret_cast<uintptr_t>(block) + TableAlignment - 1) & ~uintptr_t(TableAlignment - 1);
  hash.entries_ = reinterpret_cast<PawnEntry*>(aligned);
  std::memset(hash.entries_, 0, size_t(size) * sizeof(PawnEntry));
  hash.entries_[0].check = 1;
  hash.mask_ = size - 1;
  hash.hits = 0;
  hash.misses = 0;
}
