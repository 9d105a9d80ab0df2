// osdctl convert in a build without Qt: the picture readers are Qt's, so the command is not
// there; everything else is.
#include <cstdio>

#include "ctl/commands.h"

namespace osd::ctl {

int convert(const Args&) {
  std::fprintf(stderr,
               "osdctl convert: not available in this build (it needs Qt's picture readers); "
               "convert the picture to a BMP elsewhere\n");
  return kUsage;
}

}  // namespace osd::ctl
