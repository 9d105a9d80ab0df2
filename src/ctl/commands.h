// The osdctl commands. Each takes the words after the command name and returns the exit
// status: 0 success, 1 refused input (one-line reason on standard error), 2 usage error,
// 3 port or node failure.
#pragma once

#include <string>
#include <vector>

namespace osd::ctl {

using Args = std::vector<std::string>;

enum Exit : int { kOk = 0, kRefused = 1, kUsage = 2, kPortFailure = 3 };

int encode(const Args& args);    // ctl_image.cpp
int check(const Args& args);     // ctl_image.cpp
int ports(const Args& args);     // ctl_ports.cpp
int identify(const Args& args);  // ctl_link.cpp
int send(const Args& args);      // ctl_link.cpp
int select(const Args& args);    // ctl_link.cpp
int upload(const Args& args);    // ctl_link.cpp
int download(const Args& args);  // ctl_download.cpp
int convert(const Args& args);   // ctl_convert.cpp
int scan(const Args& args);      // ctl_scan.cpp
int apply(const Args& args);     // ctl_apply.cpp

// "osdctl COMMAND:" for the command being run ("osdctl:" before one is chosen): every
// message starts with it (command_table.cpp).
std::string tag();

// A picture `convert` reads, written to `out` as a bitmap the reader accepts at the largest
// size the rules allow at its aspect (for a 512 K node when `largeMemory`). "" or the reason.
std::string pictureToBitmap(const std::string& in, bool largeMemory, int transparent,
                            const std::string& out);  // ctl_convert.cpp

}  // namespace osd::ctl
