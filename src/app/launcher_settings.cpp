#include "app/launcher_settings.h"

#include "report/result_report.h"

namespace corvalis {

unsigned bbOptionMask(const LauncherSettings& settings) {
  return (settings.bbBold ? BBBold : 0u) | (settings.bbCode ? BBCodeBlock : 0u) |
         (settings.bbUrl ? BBUrl : 0u);
}

}  // namespace corvalis
