// osdctl convert in a build without Qt: the picture readers are Qt's, so the command is not
// there, and a site file's logos must be BMP files; everything else is.
#include <cstdio>

#include "ctl/commands.h"

namespace osd::ctl {

int convert(const Args&) {
  std::fprintf(stderr,
               "osdctl convert: not available in this build (it needs Qt's picture readers); "
               "convert the picture to a BMP elsewhere\n");
  return kUsage;
}

std::string pictureToBitmap(const std::string& in, bool, int, const std::string&) {
  return in + " is no BMP, and this build cannot read other pictures; convert it elsewhere";
}

}  // namespace osd::ctl
