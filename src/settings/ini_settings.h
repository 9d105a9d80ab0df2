// The settings backend on an INI file: one file per application key, one group per section,
// every value a string. Each read opens the file anew; each write reaches the disk before it
// returns and replaces the file whole (a temporary file renamed over it), so a killed program
// never leaves a half-written file. Lines the reader does not understand are kept as they are.
// A file that is there but cannot be read (no permission, not a plain file) is never written
// over, nor is one whose mode makes it read-only; a settings file reached through a symbolic
// link is updated where the link points and keeps its permissions; two programs writing at the
// same time take turns. A write that changes nothing leaves the file alone, and temporary
// files of a writer that was killed are removed when the store is opened.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/seams.h"

namespace osd {

class IniSettings : public SettingsBackend {
 public:
  // `file` is the INI file; `appKey` the application key stored in it ("RA7_Vud").
  IniSettings(std::string file, std::string appKey);

  std::optional<std::string> read(const std::string& path) override;
  bool write(const std::string& path, const std::string& value) override;

  const std::string& file() const { return file_; }

  // The default file: $XDG_CONFIG_HOME/Norvo/<appKey>.ini (~/.config when unset); on Windows
  // %APPDATA%\Norvo\<appKey>.ini.
  static std::string defaultFile(const std::string& appKey);

  // INI value quoting, compatible with the common INI readers (quotes where needed,
  // backslash escapes).
  static std::string quote(const std::string& value);
  static std::string unquote(const std::string& raw);

 private:
  // Splits a value path into the INI group and key; false when it is not a path of ours.
  bool split(const std::string& path, std::string& group, std::string& key) const;

  // Keeps the lines this store last wrote or found unchanged, with the file's stamp, so that
  // a write of the same value does not read the file again while nobody else changed it.
  void remember(const std::string& target, const std::vector<std::string>& lines);
  // Whether the file, as this store last saw it and unchanged since, holds the value already.
  bool holds(const std::string& target, const std::string& group, const std::string& key,
             const std::string& value) const;

  std::string file_;
  std::string appKey_;
  std::string cachedStamp_;
  std::vector<std::string> cachedLines_;
};

}  // namespace osd
