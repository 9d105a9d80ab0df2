// osdctl convert in a build without Qt: the picture readers are Qt's, so the command is not
// there, and other commands take BMP files only; everything else is.
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
  return in +
         " is no BMP file, and this build reads no other pictures; convert it to a BMP "
         "elsewhere";
}

}  // namespace osd::ctl
