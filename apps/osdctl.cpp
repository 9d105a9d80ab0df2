// osdctl: the command-line tool for scripting and batch work. The commands and their options
// stand in one table (src/ctl/command_table.cpp).
#include "common/options.h"
#include "ctl/command_table.h"

int main(int argc, char** argv) {
  return osd::ctl::runOsdctl(osd::cli::argsOf(argc, argv));
}
