// The site file of osdctl apply: an INI file as editors write it (a UTF-8 byte order mark,
// CRLF line ends, comment lines starting with ";" or "#", and a comment after a value when
// ";" or "#" follows white space). Standard library only.
//
//   [line]
//   port = 3              ; --port wins
//   together = yes        ; default no
//   [node 3]
//   logo = lobby.png      ; relative to the site file's folder
//   format = rgb          ; and transparent, x, y, memory = 64|512
#pragma once

#include <string>
#include <vector>

namespace osd::ctl {

struct SiteNode {
  int id = 0;
  int line = 0;      // of its section header
  int logoLine = 0;  // of its logo key
  std::string logo;  // the file, relative names taken from the site file's folder
  bool rgb = false;
  int transparent = 255;
  int x = -1, y = -1;  // placement in screen percent; -1: not placed
  int memoryKiB = 0;   // 0: not given
};

struct Site {
  std::string path;
  std::string port;  // "" when not given
  int portLine = 0;
  bool together = false;
  std::vector<SiteNode> nodes;
};

// Reads the site file at `path`; "" or the reason, "SITE:LINE: why" for a fault in a line,
// "SITE: why" for the file as a whole (missing, a folder, unreadable, no node).
std::string readSite(const std::string& path, Site& site);

// The same over the file's text, `path` naming it in the reasons and giving the folder of
// relative logo names.
std::string readSiteText(const std::string& text, const std::string& path, Site& site);

// "" when `text` names a port (a number 1-255 or a device path), else why not.
std::string portValueFault(const std::string& text);

}  // namespace osd::ctl
