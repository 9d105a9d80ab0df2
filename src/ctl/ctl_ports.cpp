#include "ctl/commands.h"

namespace osd::ctl {
int ports(const Args&) { return kUsage; }
}  // namespace osd::ctl
