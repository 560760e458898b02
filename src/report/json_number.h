#pragma once
// Numbers as Corvalis writes them into its JSON files (BASE.json, BASE.compare.json).

#include <cmath>
#include <cstdint>

#include <nlohmann/json.hpp>

namespace corvalis {

// Whole numbers as integers, so that a count reads 5 and not 5.0; what is not finite
// as null, which JSON has instead of NaN and infinity.
inline nlohmann::ordered_json jsonNumber(double value) {
  if (!std::isfinite(value)) return nullptr;
  if (value == std::trunc(value) && std::fabs(value) < 9007199254740992.0)
    return static_cast<int64_t>(value);
  return value;
}

}  // namespace corvalis
