#include "transfer/video_data.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>

#include "common/safe_file.h"
#include "common/textnum.h"

namespace osd::video {

namespace fs = std::filesystem;

const char* baseName(Table table) {
  switch (table) {
    case Table::Ntsc:
      return "Video-NTSBData";
    case Table::PalB:
      return "Video-PALBData";
    case Table::PalM:
      return "Video-PALMData";
    case Table::Image:
      return "Video-ImageData";
  }
  return "";
}

int fieldsRead(Table table) {
  return table == Table::Image ? kImageFieldsRead : kRegisterCount;
}

RegisterTable defaultRegisters(Table table) {
  RegisterTable t{};
  switch (table) {
    case Table::Ntsc:
      t[0] = 4, t[2] = 31, t[3] = 124, t[4] = 240, t[5] = 33;
      break;
    case Table::PalB:
      t[0] = 1, t[2] = 203, t[3] = 138, t[4] = 9, t[5] = 42;
      break;
    case Table::PalM:
      t[0] = 6, t[2] = 163, t[3] = 239, t[4] = 230, t[5] = 33;
      break;
    case Table::Image:
      return t;
  }
  t[7] = 8;
  t[13] = 128;
  return t;
}

ImageParams defaultImageParams(int width, int height) {
  ImageParams p{};
  p[1] = 115;
  p[3] = 226;
  p[5] = static_cast<int>(roundHalfEven(height / 2.0));
  p[6] = static_cast<int>(roundHalfEven(width / 4.0));
  p[9] = 229;
  p[10] = 1;
  p[11] = 99;
  p[12] = 1;
  p[13] = 6;
  p[14] = 4;
  return p;
}

std::vector<std::string> splitFields(std::string_view text) {
  std::vector<std::string> fields;
  size_t i = 0;
  const size_t n = text.size();
  auto atLineEnd = [&](size_t k) { return k < n && (text[k] == '\r' || text[k] == '\n'); };
  auto skipLineEnd = [&] {
    if (i < n && text[i] == '\r') {
      ++i;
      if (i < n && text[i] == '\n') ++i;
    } else if (i < n && text[i] == '\n') {
      ++i;
    }
  };
  while (i < n) {
    while (i < n && text[i] == ' ') ++i;
    std::string field;
    if (i < n && text[i] == '"') {
      ++i;
      while (i < n && text[i] != '"' && !atLineEnd(i)) field.push_back(text[i++]);
      if (i < n && text[i] == '"') ++i;
      while (i < n && text[i] != ',' && !atLineEnd(i)) ++i;  // text after the quotes
    } else {
      while (i < n && text[i] != ',' && !atLineEnd(i)) field.push_back(text[i++]);
    }
    fields.push_back(std::move(field));
    if (i < n && text[i] == ',') {
      ++i;
      // A comma right before the end of a line or of the file leaves an empty last field.
      if (i >= n || atLineEnd(i)) {
        fields.emplace_back();
        skipLineEnd();
      }
    } else {
      skipLineEnd();
    }
  }
  return fields;
}

int32_t fieldValue(std::string_view field) {
  const double v = leadingNumber(field);
  const double r = static_cast<double>(roundHalfEven(v));
  if (!std::isfinite(v) || r > std::numeric_limits<int32_t>::max() ||
      r < std::numeric_limits<int32_t>::min()) {
    throw DataError("The value \"" + trimSpace(field) + "\" is too large");
  }
  return static_cast<int32_t>(r);
}

std::vector<int32_t> readValues(std::string_view text, int count, const std::string& fileName) {
  const std::vector<std::string> fields = splitFields(text);
  if (static_cast<int>(fields.size()) < count) {
    throw DataError(fileName + " holds " + std::to_string(fields.size()) + " values, " +
                    std::to_string(count) + " are needed");
  }
  std::vector<int32_t> values;
  values.reserve(static_cast<size_t>(count));
  for (int k = 0; k < count; ++k) {
    try {
      values.push_back(fieldValue(fields[static_cast<size_t>(k)]));
    } catch (const DataError& e) {
      throw DataError(fileName + ", value " + std::to_string(k + 1) + ": " + e.what());
    }
  }
  return values;
}

std::string formatValues(const int* table, int count) {
  std::string out;
  for (int k = 0; k < count; ++k) {
    out += rightAlign(std::to_string(table[k]), 4);
    out += "\r\n";
  }
  return out;
}

namespace {
std::string lowerAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}
}  // namespace

std::string findFile(const std::string& folder, const std::string& fileName) {
  const std::string exact = folder + "/" + fileName;
  std::error_code ec;
  if (fs::is_regular_file(exact, ec)) return exact;
  const std::string wanted = lowerAscii(fileName);
  std::vector<std::string> matches;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (lowerAscii(name) == wanted) matches.push_back(name);
  }
  if (matches.empty()) return exact;
  std::sort(matches.begin(), matches.end());
  return folder + "/" + matches.front();
}

std::string readWholeFile(const std::string& path) {
  std::error_code ec;
  if (!fs::is_regular_file(path, ec)) throw DataError("File not found: " + path);
  std::ifstream in(path, std::ios::binary);
  if (!in) throw DataError("Cannot open " + path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw DataError("Cannot read " + path);
  return text;
}

void replaceFile(const std::string& path, const std::string& content) {
  std::string error;
  if (!safeReplace(path, content, error)) throw std::runtime_error(error);
}

std::string keepUnreadableFiles(const std::string& imagesDir) {
  static constexpr Table kTables[4] = {Table::Ntsc, Table::PalB, Table::PalM, Table::Image};
  std::string kept, failed;
  for (Table table : kTables) {
    const std::string name = std::string(baseName(table)) + ".dat";
    const std::string path = findFile(imagesDir, name);
    std::error_code ec;
    if (!fs::exists(path, ec)) continue;  // a missing file holds no edit
    std::string text;
    try {
      text = readWholeFile(path);
    } catch (const DataError& e) {
      failed += (failed.empty() ? "" : "; ") + std::string(e.what());
      continue;
    }
    try {
      readValues(text, fieldsRead(table), name);
      continue;
    } catch (const DataError&) {
      // unreadable as a table: kept below
    }
    std::string error;
    const std::string bad = fs::path(path).filename().string() + ".bad";
    if (safeReplace(path + ".bad", text, error)) {
      kept += (kept.empty() ? "" : ", ") + bad;
    } else {
      failed += (failed.empty() ? "" : "; ") + error;
    }
  }
  if (kept.empty() && failed.empty()) return "";
  std::string message = "Video data could not be read; the defaults are written.";
  if (!kept.empty()) message += " The old file is kept as " + kept + ".";
  if (!failed.empty()) message += " " + failed;
  return message;
}

std::string imageSettingsText(const ImageParams& params) {
  std::string text = "Image Parameters:";
  for (int k = 0; k < 16; ++k) text += " " + hex2(params[static_cast<size_t>(k)]);
  return text;
}

void fillSetupBlock(SetupBlock& block, int width, int height, const ImageParams& params) {
  static constexpr int kEncoder[14] = {4, 90, 2, 31, 3, 124, 4, 240, 5, 33, 7, 202, 7, 74};
  const long long quarterWidth = roundHalfEven(width / 4.0);
  const long long halfHeight = roundHalfEven(height / 2.0);
  block[0] = 85;
  block[1] = 170;
  block[2] = 1;
  block[3] = 0;
  for (int k = 0; k < 4; ++k)
    block[static_cast<size_t>(4 + k)] = params[static_cast<size_t>(1 + k)];
  block[8] = static_cast<int>(quarterWidth & 0xFF);
  block[9] = static_cast<int>((quarterWidth & ~0xFFLL) / 256);
  block[10] = static_cast<int>(halfHeight & 0xFF);
  block[11] = static_cast<int>((halfHeight & ~0xFFLL) / 256);
  for (int k = 12; k <= 15; ++k) block[static_cast<size_t>(k)] = 0;
  for (int k = 0; k < 14; ++k) block[static_cast<size_t>(16 + k)] = kEncoder[k];
  block[30] = 255;
  block[31] = 255;
}

}  // namespace osd::video
