#include "ctl/commands.h"

namespace osd::ctl {
int encode(const Args&) { return kUsage; }
int check(const Args&) { return kUsage; }
}  // namespace osd::ctl
