// Which of the window's stored choices each osdctl command honours. A choice comes from the
// command line (or the site file) where it is given there; where the command honours the
// stored choice, from the settings, read as the window restores it; else the command's
// default. The manual's SETTINGS section states the same, command by command.
#pragma once

#include <optional>
#include <string>

#include "common/pixel_format.h"
#include "settings/preferences.h"

namespace osd::ctl {

enum class From {
  Unused,              // the command has no such choice
  Option,              // the option, else the default; never the settings
  Settings,            // the stored choice; no option gives it
  OptionElseSettings,  // the option, else the stored choice
};

struct Honoured {
  const char* command;
  From format;       // the pixel format ("optRGB")
  From transparent;  // the transparency value ("Transparent")
  From standard;     // PAL or NTSC, for a placement ("OPTNTSC")
  From node;         // the node addressed
  From model;        // the logo generator's model ("SX_Model")
  From colour;       // a colour logo generator ("Color")
};

// The row of `command`; a row of Unused for a name that is no command.
const Honoured& honoured(const std::string& command);

// What the command line or the site file gave; nothing where it gave nothing.
struct GivenChoices {
  std::optional<PixelFormat> format;
  std::optional<int> transparent;
  std::optional<int> node;
  std::optional<int> model;
  bool colour = false;  // --color
  bool placed = false;  // a place is given, so the video standard is needed
};

struct Choices {
  PixelFormat format = PixelFormat::YCbCr;
  int transparent = 255;
  bool pal = false;
  int node = 0;   // 0: every node awake
  int model = 0;  // 0: unset
  bool colour = false;
};

// The choices of `command`. A setting is read only for a choice the command honours from the
// settings and that was not given (the standard only when placed); reading a missing setting
// stores it, as the window's reads do.
Choices resolveChoices(const std::string& command, const GivenChoices& given, Preferences& prefs);

}  // namespace osd::ctl
