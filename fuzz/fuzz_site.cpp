// The site-file reader of osdctl apply over any text. Besides not crashing: a file it takes
// has nodes, each with a logo, an ID 1-255 given once and x and y together; a refusal names
// the file; and the same text saved with a byte order mark and CRLF line ends reads the same.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "ctl/site_file.h"
#include "fuzz_check.h"

namespace {

bool sameSite(const osd::ctl::Site& a, const osd::ctl::Site& b) {
  if (a.port != b.port || a.portLine != b.portLine || a.together != b.together ||
      a.nodes.size() != b.nodes.size())
    return false;
  for (size_t i = 0; i < a.nodes.size(); ++i) {
    const osd::ctl::SiteNode &x = a.nodes[i], &y = b.nodes[i];
    if (x.id != y.id || x.line != y.line || x.logoLine != y.logoLine || x.logo != y.logo ||
        x.rgb != y.rgb || x.transparent != y.transparent || x.x != y.x || x.y != y.y ||
        x.memoryKiB != y.memoryKiB)
      return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace osd::ctl;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string path = "sites/site.ini";
  Site site;
  const std::string why = readSiteText(text, path, site);
  if (why.empty()) {
    FUZZ_CHECK(!site.nodes.empty());
    std::set<int> ids;
    for (const SiteNode& n : site.nodes) {
      FUZZ_CHECK(n.id >= 1 && n.id <= 255 && ids.insert(n.id).second);
      FUZZ_CHECK(!n.logo.empty() && n.logoLine > n.line);
      FUZZ_CHECK((n.x < 0) == (n.y < 0));
      FUZZ_CHECK(n.memoryKiB == 0 || n.memoryKiB == 64 || n.memoryKiB == 512);
    }
    FUZZ_CHECK(portValueFault(site.port).empty() || site.port.empty());
  } else {
    FUZZ_CHECK(why.rfind(path + ":", 0) == 0);
    FUZZ_CHECK(why.find('\n') == std::string::npos);
  }
  // As Notepad saves it: a byte order mark and CRLF line ends.
  if (text.find('\r') == std::string::npos && text.rfind("\xEF\xBB\xBF", 0) != 0) {
    std::string windows = "\xEF\xBB\xBF";
    for (const char c : text) windows += c == '\n' ? std::string("\r\n") : std::string(1, c);
    Site other;
    FUZZ_CHECK(readSiteText(windows, path, other) == why);
    FUZZ_CHECK(!why.empty() || sameSite(site, other));
  }
  return 0;
}
