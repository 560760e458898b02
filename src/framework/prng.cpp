#include "framework/prng.h"

namespace corvalis {

Lcg& sharedRandom() {
  static Lcg generator(1);
  return generator;
}

}  // namespace corvalis
