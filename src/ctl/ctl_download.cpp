#include "ctl/commands.h"

namespace osd::ctl {
int download(const Args&) { return kUsage; }
}  // namespace osd::ctl
