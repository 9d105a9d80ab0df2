// The outside programs the window starts, on POSIX desktops.
#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/seams.h"

namespace osd {

std::vector<std::string> Launcher::paintPrograms() const {
  // The desktop's paint programs, each found on the search path.
  static const char* const kNames[] = {"kolourpaint", "pinta", "gimp", "mtpaint"};
  const char* env = std::getenv("PATH");
  const std::string searchPath =
      (env != nullptr && *env != '\0') ? env : "/usr/local/bin:/usr/bin:/bin";
  std::vector<std::string> dirs;
  size_t start = 0;
  while (start <= searchPath.size()) {
    size_t end = searchPath.find(':', start);
    if (end == std::string::npos) end = searchPath.size();
    if (end > start) dirs.push_back(searchPath.substr(start, end - start));
    start = end + 1;
  }
  std::vector<std::string> found;
  for (const char* name : kNames) {
    for (const std::string& dir : dirs) {
      const bool ends = dir.back() == '/' || dir.back() == '\\';
      const std::string candidate = ends ? dir + name : dir + '/' + name;
      if (fileExists(candidate)) {
        found.push_back(candidate);
        break;
      }
    }
  }
  return found;
}

std::vector<std::vector<std::string>> Launcher::textEditors() const {
  std::vector<std::vector<std::string>> out;
  auto addWords = [&](const char* command) {
    // The variable may hold a program and its options ("code -w"); no shell is involved.
    std::vector<std::string> words;
    std::string word;
    for (const char* c = command ? command : ""; *c != '\0'; ++c) {
      if (*c == ' ' || *c == '\t') {
        if (!word.empty()) words.push_back(word);
        word.clear();
      } else {
        word.push_back(*c);
      }
    }
    if (!word.empty()) words.push_back(word);
    if (words.empty()) return;
    // Editors that need a terminal would start with none and never show the file.
    const std::string program = std::filesystem::path(words.front()).filename().string();
    for (const char* console : {"vi", "vim", "nvim", "nano", "pico", "ed", "ex", "micro", "joe",
                                "ne", "mcedit", "jed", "mg", "kak", "hx", "helix"}) {
      if (program == console) return;
    }
    if (program == "emacs" && std::find(words.begin(), words.end(), "-nw") != words.end()) return;
    out.push_back(words);
  };
  addWords(std::getenv("VISUAL"));
  addWords(std::getenv("EDITOR"));
  for (const char* program : {"xdg-open", "gnome-text-editor", "gedit", "kate", "kwrite",
                              "mousepad", "xed", "pluma", "leafpad"}) {
    out.push_back({program});
  }
  return out;
}

}  // namespace osd
