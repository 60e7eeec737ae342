#pragma once
// The tuning build's score: the value the engine computes, and how it depends on the weights.
//
// The evaluation is compiled a second time for the tuning tools (MELVOK_EVAL_TRACE), with every
// score a TracedScore and every weight read giving one. Each score then carries the coefficient
// of every weight it depends on: the derivative of the score in that weight at the present
// weights. Where the evaluation multiplies two scores that both depend on weights (a scale
// factor, the king danger) the product rule linearises it around the present weights, and where
// it divides by a whole number the coefficients are divided exactly while the value is
// truncated as in the engine; comparisons and branches look at the value alone.
//
// Besides the coefficients a score keeps two numbers: the constant of its linearisation (so that
// constant + sum of coefficient * weight reproduces the value, up to the truncation of integer
// division) and its literal part, what numbers written in the code contribute on their own. A
// number that is a value of the score belongs in the weight tables, so the literal part of the
// evaluation is zero; a weight read that escapes the trace shows up there.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#include "eval/eval_build.h"

MELVOK_EVAL_BEGIN

// The identity of a weight entry: its index in the tuning tools' list of every weight, or
// UnknownWeight for an address that is no listed weight.
constexpr uint16_t UnknownWeight = 0xFFFF;
uint16_t tracedWeightId(const void* entry);

struct WeightTerm {
  uint16_t weight;
  float coefficient;
};

// The terms of a score. Most scores are single weights on their way into a sum, so a few terms
// are kept in place; longer lists (the sums) go to the heap.
class TermList {
 public:
  TermList() = default;
  TermList(const TermList& other) { append(other.begin(), other.end()); }
  TermList(TermList&& other) noexcept { take(other); }
  TermList& operator=(const TermList& other) {
    if (this != &other) {
      size_ = 0;
      append(other.begin(), other.end());
    }
    return *this;
  }
  TermList& operator=(TermList&& other) noexcept {
    if (this != &other) {
      release();
      take(other);
    }
    return *this;
  }
  ~TermList() { release(); }

  const WeightTerm* begin() const { return data(); }
  const WeightTerm* end() const { return data() + size_; }
  WeightTerm* begin() { return data(); }
  WeightTerm* end() { return data() + size_; }
  uint32_t size() const { return size_; }
  bool empty() const { return size_ == 0; }

  void push_back(WeightTerm t) {
    reserve(size_ + 1);
    data()[size_++] = t;
  }
  void append(const WeightTerm* first, const WeightTerm* last) {
    const uint32_t n = uint32_t(last - first);
    if (n == 0) return;
    reserve(size_ + n);
    std::memcpy(data() + size_, first, n * sizeof(WeightTerm));
    size_ += n;
  }

 private:
  static constexpr uint32_t InPlace = 3;

  WeightTerm* data() { return heap_ ? heap_ : inPlace_; }
  const WeightTerm* data() const { return heap_ ? heap_ : inPlace_; }
  void reserve(uint32_t n) {
    const uint32_t capacity = heap_ ? capacity_ : InPlace;
    if (n <= capacity) return;
    const uint32_t grown = n > 2 * capacity ? n : 2 * capacity;
    auto* block = static_cast<WeightTerm*>(std::malloc(grown * sizeof(WeightTerm)));
    if (!block) throw std::bad_alloc();
    std::memcpy(block, data(), size_ * sizeof(WeightTerm));
    release();
    heap_ = block;
    capacity_ = grown;
  }
  void release() {
    std::free(heap_);
    heap_ = nullptr;
  }
  void take(TermList& other) {
    size_ = other.size_;
    if (other.heap_) {
      heap_ = other.heap_;
      capacity_ = other.capacity_;
      other.heap_ = nullptr;
    } else {
      std::memcpy(inPlace_, other.inPlace_, size_ * sizeof(WeightTerm));
    }
    other.size_ = 0;
  }

  WeightTerm* heap_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ = 0;
  WeightTerm inPlace_[InPlace];
};

class TracedScore {
 public:
  TracedScore(int value = 0) : value_(value), constant_(value), literal_(value) {}
  // The value of one weight entry, depending on that entry alone.
  static TracedScore ofWeight(int value, const void* entry) {
    TracedScore s;
    s.value_ = value;
    s.constant_ = 0;
    s.literal_ = 0;
    s.terms_.push_back({tracedWeightId(entry), 1.0f});
    return s;
  }

  int value() const { return value_; }
  double constant() const { return constant_; }
  double literal() const { return literal_; }
  // The coefficients, a weight possibly more than once (their sum counts).
  const TermList& terms() const { return terms_; }

  TracedScore& operator+=(const TracedScore& b) {
    value_ += b.value_;
    constant_ += b.constant_;
    literal_ += b.literal_;
    terms_.append(b.terms_.begin(), b.terms_.end());
    return *this;
  }
  TracedScore& operator-=(const TracedScore& b) {
    TracedScore negated = b;
    negated *= -1;
    return *this += negated;
  }
  TracedScore& operator*=(int k) {
    scale(double(k));
    value_ *= k;
    return *this;
  }
  // Integer division as the engine's (truncated toward zero), the linear part divided exactly.
  TracedScore& operator/=(int d) {
    scale(1.0 / double(d));
    value_ /= d;
    return *this;
  }

 private:
  friend TracedScore operator*(const TracedScore& a, const TracedScore& b);
  void scale(double k) {
    constant_ *= k;
    literal_ *= k;
    for (WeightTerm& t : terms_) t.coefficient = float(t.coefficient * k);
  }

  int value_;
  double constant_;
  double literal_;
  TermList terms_;
};

// The operators are free functions of this namespace (not hidden friends), so that a scalar
// weight converts to a score in any of them.
inline TracedScore operator-(TracedScore a) { return a *= -1; }
inline TracedScore operator+(TracedScore a, const TracedScore& b) { return a += b; }
inline TracedScore operator-(TracedScore a, const TracedScore& b) { return a -= b; }
inline TracedScore operator*(TracedScore a, int k) { return a *= k; }
inline TracedScore operator*(int k, TracedScore a) { return a *= k; }
inline TracedScore operator/(TracedScore a, int d) { return a /= d; }
// The product of two scores, linearised around the present weights: a0 * b + b0 * a - a0 * b0.
inline TracedScore operator*(const TracedScore& a, const TracedScore& b);
inline bool operator==(const TracedScore& a, const TracedScore& b) {
  return a.value() == b.value();
}
inline auto operator<=>(const TracedScore& a, const TracedScore& b) {
  return a.value() <=> b.value();
}

// A scalar weight of the tuning build: a writable number that reads as a traced score.
class TracedWeight {
 public:
  TracedWeight(int value) : value(value) {}
  TracedWeight(const TracedWeight&) = delete;  // a copy would be another weight
  TracedWeight& operator=(const TracedWeight&) = delete;
  operator TracedScore() const { return TracedScore::ofWeight(value, this); }

  int value;
};

inline TracedScore operator*(const TracedScore& a, const TracedScore& b) {
  if (b.terms_.empty()) return a * b.value_;
  if (a.terms_.empty()) return b * a.value_;
  TracedScore p = a;
  p.scale(double(b.value_));
  for (const WeightTerm& t : b.terms_)
    p.terms_.push_back({t.weight, float(t.coefficient * double(a.value_))});
  p.constant_ += double(a.value_) * b.constant_ - double(a.value_) * double(b.value_);
  p.literal_ = a.literal_ * b.literal_;
  p.value_ = a.value_ * b.value_;
  return p;
}

MELVOK_EVAL_END
