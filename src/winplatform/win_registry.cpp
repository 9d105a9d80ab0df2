#include "winplatform/win_registry.h"

#include <windows.h>

#include <cstring>
#include <set>

#include "platform/win_text.h"
#include "winplatform/win_serial_port.h"

namespace osd::win {

namespace {

// Every value of an open key: name and value as text.
std::map<std::string, std::string> valuesOf(HKEY key) {
  std::map<std::string, std::string> out;
  for (DWORD index = 0;; ++index) {
    wchar_t name[16384];
    DWORD nameLength = sizeof name / sizeof name[0];
    DWORD type = 0;
    DWORD size = 0;
    LONG rc = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type, nullptr, &size);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc != ERROR_SUCCESS) continue;
    std::wstring data(size / sizeof(wchar_t) + 1, L'\0');
    DWORD dataSize = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    nameLength = sizeof name / sizeof name[0];
    rc = ::RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                         reinterpret_cast<BYTE*>(data.data()), &dataSize);
    if (rc != ERROR_SUCCESS) continue;
    const std::string valueName = narrow(std::wstring(name, nameLength));
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
      data.resize(dataSize / sizeof(wchar_t));
      while (!data.empty() && data.back() == L'\0') data.pop_back();
      out[valueName] = narrow(data);
    } else if (type == REG_DWORD && dataSize == sizeof(DWORD)) {
      DWORD number = 0;
      std::memcpy(&number, data.data(), sizeof number);
      out[valueName] = std::to_string(number);
    }
  }
  return out;
}

std::map<std::string, std::string> valuesAt(const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) !=
      ERROR_SUCCESS) {
    return {};
  }
  std::map<std::string, std::string> values = valuesOf(key);
  ::RegCloseKey(key);
  return values;
}

}  // namespace

std::vector<int> comPorts() {
  std::set<int> numbers;
  for (const auto& [name, device] : valuesAt(L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0)) {
    if (const int n = WinSerialPort::comNumber(device)) numbers.insert(n);
  }
  // Every DOS device name, zero-separated; the list grows until it fits.
  for (DWORD size = 65536; size <= (1u << 22); size *= 2) {
    std::wstring names(size, L'\0');
    const DWORD n = ::QueryDosDeviceW(nullptr, names.data(), size);
    if (n == 0) {
      if (::GetLastError() == ERROR_INSUFFICIENT_BUFFER) continue;
      break;
    }
    for (size_t start = 0; start < n;) {
      const size_t end = names.find(L'\0', start);
      if (end == std::wstring::npos || end == start) break;
      if (const int number = WinSerialPort::comNumber(narrow(names.substr(start, end - start)))) {
        numbers.insert(number);
      }
      start = end + 1;
    }
    break;
  }
  // Wine lists only the ports its mount manager made, not a COM port mapped by a link in the
  // prefix's dosdevices folder, which opens all the same: the folder's comN entries count too.
  // Only the names are read; no port is opened.
  wchar_t config[4096];
  const DWORD length = ::GetEnvironmentVariableW(L"WINECONFIGDIR", config, 4096);
  if (length > 0 && length < 4096) {
    std::wstring folder(config, length);
    if (folder.rfind(L"\\??\\", 0) == 0) folder.erase(0, 4);
    WIN32_FIND_DATAW entry;
    const HANDLE found = ::FindFirstFileW((folder + L"\\dosdevices\\com*").c_str(), &entry);
    if (found != INVALID_HANDLE_VALUE) {
      do {
        if (const int number = WinSerialPort::comNumber(narrow(entry.cFileName)))
          numbers.insert(number);
      } while (::FindNextFileW(found, &entry));
      ::FindClose(found);
    }
  }
  return {numbers.begin(), numbers.end()};
}

std::map<std::string, std::string> machineSettings(const std::string& appKey,
                                                   const std::string& section) {
  const std::wstring path = widen("SOFTWARE\\Norvo\\" + appKey + "\\" + section);
  std::map<std::string, std::string> values = valuesAt(path, KEY_WOW64_64KEY);
  for (auto& [name, value] : valuesAt(path, KEY_WOW64_32KEY)) values.emplace(name, value);
  return values;
}

}  // namespace osd::win
