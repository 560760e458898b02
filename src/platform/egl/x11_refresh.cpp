#include "platform/egl/x11_refresh.h"

namespace corvalis {
namespace platform {

double refreshFromModeTiming(const ModeTiming& mode) {
  if (mode.dotClock == 0 || mode.hTotal == 0 || mode.vTotal == 0) return 0.0;
  double lines = static_cast<double>(mode.vTotal);
  if (mode.doubleScan) lines *= 2.0;
  if (mode.interlace) lines /= 2.0;
  return static_cast<double>(mode.dotClock) / (static_cast<double>(mode.hTotal) * lines);
}

double refreshFromMscSamples(const MscSample& first, const MscSample& last) {
  if (last.msc <= first.msc || last.ustMicroseconds <= first.ustMicroseconds) return 0.0;
  return static_cast<double>(last.msc - first.msc) * 1e6 /
         static_cast<double>(last.ustMicroseconds - first.ustMicroseconds);
}

}  // namespace platform
}  // namespace corvalis
