#include "platform/platform.h"

namespace corvalis {
namespace platform {

namespace {
Platform* installed = nullptr;
}  // namespace

Platform& current() { return installed ? *installed : native(); }

void install(Platform* backend) { installed = backend; }

}  // namespace platform
}  // namespace corvalis
