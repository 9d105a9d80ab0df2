#include "ctl/commands.h"

namespace osd::ctl {
int identify(const Args&) { return kUsage; }
int send(const Args&) { return kUsage; }
int select(const Args&) { return kUsage; }
int upload(const Args&) { return kUsage; }
}  // namespace osd::ctl
