#pragma once
// The linear congruential generator the tests draw their texture data from:
// state := state * 214013 + 2531011 (mod 2^32), each result bits 16 to 30 of the new state.

#include <cstdint>

namespace corvalis {

class Lcg {
 public:
  explicit Lcg(uint32_t seed = 1) : state_(seed) {}
  void seed(uint32_t seed) { state_ = seed; }
  // Next value in 0..32767.
  int next() {
    state_ = state_ * 214013u + 2531011u;
    return static_cast<int>((state_ >> 16) & 0x7fff);
  }
  uint32_t state() const { return state_; }

 private:
  uint32_t state_;
};

// The process-wide generator: state 1 at program start, reseeded with 1234 by every
// Texture cache run, drawn on by the Texture cache and Texturing tests.
Lcg& sharedRandom();

}  // namespace corvalis
