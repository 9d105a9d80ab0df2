#include "platform/port_map.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <stdexcept>
#include <system_error>

namespace osd::qt {

namespace fs = std::filesystem;

namespace {

std::string trimmed(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

// 1-255 written in decimal digits only; 0 otherwise.
int portNumber(const std::string& text) {
  if (text.empty() || text.size() > 3) return 0;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    n = n * 10 + (c - '0');
  }
  return n >= 1 && n <= PortMap::kMaxNumber ? n : 0;
}

std::string canonical(const std::string& path) {
  std::error_code ec;
  fs::path p = fs::weakly_canonical(fs::path(path), ec);
  return ec ? path : p.string();
}

// "ttyUSB12" -> kind rank and number, for the fixed order of the automatic devices.
bool ttyKind(const std::string& name, int& rank, long& number) {
  static const char* const kKinds[] = {"ttyUSB", "ttyACM", "ttyAMA", "ttyS"};
  for (int i = 0; i < 4; ++i) {
    const std::string prefix = kKinds[i];
    if (name.rfind(prefix, 0) != 0 || name.size() == prefix.size()) continue;
    const std::string digits = name.substr(prefix.size());
    if (digits.size() > 6 || digits.find_first_not_of("0123456789") != std::string::npos) continue;
    rank = i;
    number = std::stol(digits);
    return true;
  }
  return false;
}

}  // namespace

PortMap PortMap::fromSources(const std::string& commandLineMap) {
  PortMap map;
  std::string error;
  const char* env = std::getenv(kEnvironmentVariable);
  if (env && *env && !map.addMapText(env, error)) {
    throw std::invalid_argument(std::string(kEnvironmentVariable) + ": " + error);
  }
  if (!commandLineMap.empty() && !map.addMapText(commandLineMap, error)) {
    throw std::invalid_argument("--port-map: " + error);
  }
  map.addAutomatic(scanDevices());
  return map;
}

bool PortMap::addMapText(const std::string& text, std::string& error) {
  std::vector<std::pair<int, std::string>> parsed;
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) comma = text.size();
    const std::string item = trimmed(text.substr(start, comma - start));
    start = comma + 1;
    if (item.empty()) continue;
    const size_t eq = item.find('=');
    const int number = eq == std::string::npos ? 0 : portNumber(trimmed(item.substr(0, eq)));
    const std::string device = eq == std::string::npos ? "" : trimmed(item.substr(eq + 1));
    if (number == 0 || device.empty()) {
      error = "bad entry \"" + item + "\": expected N=DEVICE with N from 1 to 255";
      return false;
    }
    // One number for two devices, or one device under two numbers: one of them is a mistake,
    // and taking either would address the wrong node.
    for (size_t k = 0; k < parsed.size(); ++k) {
      const bool sameNumber = parsed[k].first == number;
      if (sameNumber || canonical(parsed[k].second) == canonical(device)) {
        error =
            "\"" + items[k] + "\" and \"" + item + "\" give " +
            (sameNumber ? "port " + std::to_string(number) + " twice" : device + " two numbers");
        return false;
      }
    }
    parsed.emplace_back(number, device);
    items.push_back(item);
  }
  for (const auto& [number, device] : parsed) set(number, device);
  return true;
}

void PortMap::set(int number, const std::string& device) {
  if (number < 1 || number > kMaxNumber || device.empty()) return;
  // An automatic entry for the same device gives way to the explicit one.
  const std::string target = canonical(device);
  for (auto it = entries_.begin(); it != entries_.end();) {
    if (!isExplicit(it->first) && canonical(it->second) == target) {
      explicit_.erase(it->first);
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  entries_[number] = device;
  explicit_[number] = true;
}

void PortMap::addAutomatic(const std::vector<std::string>& devices) {
  std::set<std::string> taken;
  for (const auto& [number, device] : entries_) taken.insert(canonical(device));
  int next = 1;
  for (const auto& device : devices) {
    if (!taken.insert(canonical(device)).second) continue;
    while (next <= kMaxNumber && entries_.count(next)) ++next;
    if (next > kMaxNumber) return;
    entries_[next] = device;
  }
}

std::string PortMap::device(int number) const {
  auto it = entries_.find(number);
  return it == entries_.end() ? std::string() : it->second;
}

int PortMap::numberOf(const std::string& device) const {
  for (const auto& [number, mapped] : entries_) {
    if (mapped == device) return number;
  }
  const std::string target = canonical(device);
  for (const auto& [number, mapped] : entries_) {
    if (canonical(mapped) == target) return number;
  }
  return 0;
}

int PortMap::useDevice(const std::string& device) {
  if (device.empty()) return 0;
  if (int n = numberOf(device)) return n;
  for (int n = 1; n <= kMaxNumber; ++n) {
    if (!entries_.count(n)) {
      entries_[n] = device;
      explicit_[n] = true;
      return n;
    }
  }
  return 0;
}

int PortMap::resolve(const std::string& numberOrPath) {
  const std::string text = trimmed(numberOrPath);
  if (text.empty()) return 0;
  if (text.find_first_not_of("0123456789") == std::string::npos) return portNumber(text);
  return useDevice(text);
}

bool PortMap::isExplicit(int number) const {
  auto it = explicit_.find(number);
  return it != explicit_.end() && it->second;
}

std::vector<std::string> PortMap::scanDevices(const std::string& devRoot) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  std::error_code ec;

  // Adapters by their serial number: the name does not change when they are replugged.
  std::vector<std::string> byId;
  const fs::path byIdDir = fs::path(devRoot) / "serial" / "by-id";
  for (fs::directory_iterator it(byIdDir, ec), end; !ec && it != end; it.increment(ec)) {
    byId.push_back(it->path().string());
  }
  std::sort(byId.begin(), byId.end());
  for (const auto& link : byId) {
    std::error_code e2;
    if (!fs::exists(link, e2)) continue;  // a dangling link: the adapter is gone
    if (seen.insert(canonical(link)).second) out.push_back(link);
  }

  // The remaining serial devices, by kind and number.
  struct Tty {
    int rank;
    long number;
    std::string path;
  };
  std::vector<Tty> ttys;
  for (fs::directory_iterator it(fs::path(devRoot), ec), end; !ec && it != end; it.increment(ec)) {
    int rank = 0;
    long number = 0;
    if (ttyKind(it->path().filename().string(), rank, number)) {
      ttys.push_back({rank, number, it->path().string()});
    }
  }
  std::sort(ttys.begin(), ttys.end(), [](const Tty& a, const Tty& b) {
    return a.rank != b.rank ? a.rank < b.rank : a.number < b.number;
  });
  for (const auto& t : ttys) {
    if (seen.insert(canonical(t.path)).second) out.push_back(t.path);
  }
  return out;
}

}  // namespace osd::qt
