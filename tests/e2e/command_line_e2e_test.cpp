// The programs read command lines alike: usage errors exit 2, --help and --version exit 0.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <fstream>
#include <sstream>

#include "e2e/e2e_support.h"
#include "support/bmp_builder.h"

namespace osd::e2e {
namespace {

// said: text that the program's output (standard output, else error) holds
// clang-format off
struct Case { std::string program; std::vector<std::string> args; int rc; std::string said; };
// clang-format on

TEST(CommandLine, UsageHelpAndVersionAlikeInEveryProgram) {
  TempDir t;
  // clang-format off
  std::vector<Case> cases = {
      {"osdprog", {"--help"}, 0, "usage: osdprog"}, {"osdprog", {"--version"}, 0, "osdprog 1."},
      {"osdprog", {"--simulate", "512"}, 2, "'512' (give the size as --simulate=512)"},
      {"osdprog", {"--data-dir", "a", "--data-dir=b"}, 2, "--data-dir is given twice"},
      {"osdprog", {"--port-map", "9=x,bad"}, 2, "osdprog: --port-map: bad entry \"bad\""},
      {"osdctl", {"--version"}, 0, "osdctl 1."},
      {"osdctl", {"encode", "x.bmp", "--help"}, 0, "usage: osdctl encode BMP"},
      {"osdctl", {"check", "--help"}, 0, "usage: osdctl check BMP [--memory 64|512]\nthe bitmap reader's verdict and the bitmap's figures\noptions:\n"},
      {"osdctl", {"scan", "--port=3", "--help"}, 0, "usage: osdctl scan --port P [--ids LIST]\n"},
      {"osdctl", {"help", "apply"}, 0, "  --dry-run "},
      {"osdctl", {"--port-map", "3=/a,3=/b", "ports"}, 2, "\"3=/a\" and \"3=/b\" give port 3"},
      {"osdctl", {"--settings=s.ini", "--port-map", "9=" + t.path + "/tty9", "identify", "--port", "9"}, 3, "osdctl identify: COM9 (" + t.path + "/tty9) cannot be opened"},
      {"osdctl", {"--port", "3", "scan"}, 2, "osdctl: '--port' before the command"},
      {"osdctl", {"upload"}, 2, "osdctl upload: --port is needed\nusage: osdctl upload OUT.bmp"},
      {"osdctl", {"identify", "--port", "0"}, 2, "--port 0:"},
      {"osdctl", {"identify", "--port=256"}, 2, "--port 256:"},
      {"osdctl", {"identify", "--port", "99999999999999999999"}, 2, "--port 99999999999999999999"},
      {"osdctl", {"identify", "--port", t.path + "/tty9"}, 3, "/tty9 cannot be opened"},
      {"osdctl", {"ports", "--port-map", "1=/a", "--port-map=2=/b"}, 2, "given twice"},
      {"osdctl", {"download", "x.bmp", "--port=" + t.path + "/tty9", "--node=5"}, 1, "osdctl download: x.bmp: File not found"},
      {"osdctl", {"download", "x.bmp", "--port", "3", "--x", "5", "--x=6"}, 2, "--x is given twice"},
      {"osdctl", {"scan", "--port", "3", "--ids=9-3"}, 2, "--ids needs node IDs 1-255 and ranges"},
      {"osdctl", {"download", "x.bmp", "--port", "3", "--nodes", "3,7,"}, 2, "('' is none)"},
      {"osdctl", {"download", "x.bmp", "--port", "3", "--nodes", "3,x"}, 2, "--nodes needs node IDs 1-255 and ranges FROM-TO, such as 3-7,9, or all ('x' is none)"},
      {"osdctl", {"scan", "--port", "3", "--ids", "0"}, 2, "--ids needs node IDs 1-255 and ranges FROM-TO, such as 3-7,9 ('0' is none)"},
      {"osdctl", {"scan", "--port", "3", "--ids", "2-4,3"}, 2, "--ids names node 3 twice"},
      {"osdctl", {"encode", "x.bmp", "--format", "bgr"}, 2, "unknown format 'bgr' (rgb or ycbcr)"},
      {"osdctl", {"--settings"}, 2, "osdctl: --settings needs a value before the command"},
      {"osdctl", {"select", "3", "4", "--port", "3"}, 2, "osdctl select: unexpected argument '4'"},
      {"osdctl", {"send", "--port", "3", ""}, 2, "osdctl send: the text is empty"},
      {"osdctl", {"download", "x.bmp", "--port", "3", "--x", "5"}, 2, "--x and --y go together"},
      {"osdctl", {"download", "x.bmp", "--port", "3", "--y=0"}, 2, "--x and --y go together"},
      {"osdctl", {"download", "x.bmp", "--port=3", "--x=1", "--y=101"}, 2, "--y needs a percentage"},
      {"osdsim", {"--baud", "300"}, 2, "--baud '300'"}, {"osdsim", {"--model=99"}, 2, "--model '99'"}};
  // clang-format on
  // Every option that takes a value refuses an empty one, as "--opt=" and as "--opt ''".
  // clang-format off
  const char* takingValues[] = {
      "osdprog | --settings --data-dir --port-map --simulate", "osdsim | --hangup-after",
      "osdsim | --memory --id --model --baud --record --image-out --format --logo --seed",
      "osdctl identify | --port --port-map --settings --data-dir --node",
      "osdctl download x.bmp | --node --format --transparent --memory --slot --x --y",
      "osdctl encode x.bmp | --format --transparent -o --output", "osdctl check x.bmp | --memory",
      "osdctl upload x.bmp | --model", "osdctl scan | --ids",
      "osdctl convert x.png x.bmp | --size --fit --depth --memory --format --transparent"};
  // clang-format on
  for (const char* line : takingValues) {
    std::istringstream in(line);
    std::string program, word;
    std::vector<std::string> before;
    for (in >> program; in >> word && word != "|";) before.push_back(word);
    for (std::string option; in >> option;) {
      Case joined{program, before, 2, "needs a value"}, apart = joined;
      joined.args.push_back(option + "=");
      apart.args.insert(apart.args.end(), {option, ""});
      if (option != "-o") cases.push_back(joined);         // no "=" after -o
      if (option != "--simulate") cases.push_back(apart);  // "=" only
    }
  }
  // A bad map in the environment is the command's usage error too.
  qputenv("OSDPROG_PORT_MAP", "bad");
  const ProgramRun mapped = runProgram(
      binDir() + "/osdctl", {"upload", "out.bmp", "--port", "3", "--model", "4"}, t.path);
  qunsetenv("OSDPROG_PORT_MAP");
  EXPECT_EQ(mapped.rc, 2);
  EXPECT_EQ(mapped.err.rfind("osdctl upload: OSDPROG_PORT_MAP: bad entry \"bad\"", 0), 0u)
      << mapped.err;
  for (const Case& c : cases) {
    const ProgramRun r = runProgram(binDir() + "/" + c.program, c.args, t.path);
    const std::string& text = r.rc == 0 ? r.out : r.err;
    std::string typed = c.program;
    for (const std::string& a : c.args) typed += " '" + a + "'";
    EXPECT_TRUE(r.rc == c.rc && text.find(c.said) != std::string::npos)
        << typed << " gave " << r.rc << ": " << text << r.err;
  }
}

// osdctl encode -o writes a device in place: a null device made in the test's own folder stays
// a device (never the machine's /dev/null, which a regression would replace).
TEST(CommandLine, EncodeOutputToADeviceWritesInPlace) {
  TempDir t;
  const std::string bmp = t.path + "/four.bmp", device = t.path + "/null";
  std::ofstream(bmp, std::ios::binary) << osd::test::plainBmp(4, 2, 24);
  if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
    GTEST_SKIP() << "making a device node needs root";
  const ProgramRun r = runProgram(binDir() + "/osdctl", {"encode", bmp, "-o", device}, t.path);
  EXPECT_EQ(r.rc, 0) << r.err;
  struct stat st {};
  ASSERT_EQ(::lstat(device.c_str(), &st), 0);
  EXPECT_TRUE(S_ISCHR(st.st_mode));
}

}  // namespace
}  // namespace osd::e2e
