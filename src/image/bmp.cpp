#include "image/bmp.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <system_error>

#include "common/textnum.h"

namespace osd {

namespace {

uint16_t le16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

const char* const kUnusable = "Not a usable bitmap: ";

int clampToInt(long long v) {
  return static_cast<int>(
      std::clamp<long long>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

bool supportedDepth(int bpp) {
  return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24;
}

// The headers are there and are a bitmap's: "" when they are, else why not.
std::string headerProblem(const std::optional<BmpHeaders>& parsed, uint64_t fileSize) {
  if (!parsed) {
    return std::string(kUnusable) + "the file is too short for the bitmap headers (" +
           std::to_string(fileSize) + " bytes).";
  }
  if (parsed->type != 0x4D42)
    return std::string(kUnusable) + "the file does not start with \"BM\".";
  if (parsed->infoSize < kBmpInfoHeaderSize) {
    return std::string(kUnusable) + "an info header of " + std::to_string(parsed->infoSize) +
           " bytes is not supported (40 or more needed).";
  }
  return "";
}

// What the reader cannot convert: a size that is not positive, compression, the depth.
std::string conversionProblem(long long w, long long h, const BmpHeaders& hd) {
  if (w <= 0 || h <= 0) {
    return std::string(kUnusable) + "width and height must be positive (" + std::to_string(w) +
           " by " + std::to_string(h) + ").";
  }
  if (hd.compression != 0) {
    return std::string(kUnusable) + "compressed bitmaps cannot be converted (compression " +
           std::to_string(hd.compression) + ").";
  }
  if (!supportedDepth(hd.bitCount)) {
    return std::string(kUnusable) + std::to_string(hd.bitCount) +
           " bits per pixel cannot be converted (1, 4, 8 or 24 only).";
  }
  return "";
}

// Where the colour table and the pixel data start: both within the file, in that order.
std::string placeTables(const BmpHeaders& hd, uint64_t fileSize, BmpLayout& layout) {
  const int bpp = hd.bitCount;
  const uint64_t infoEnd = kBmpFileHeaderSize + static_cast<uint64_t>(hd.infoSize);
  if (infoEnd > fileSize) return std::string(kUnusable) + "the info header is cut short.";
  uint64_t entries = 0;
  if (bpp <= 8) {
    const uint64_t full = 1ull << bpp;
    if (hd.clrUsed > full) {
      return std::string(kUnusable) + "a colour table of " + std::to_string(hd.clrUsed) +
             " entries does not fit " + std::to_string(bpp) + " bits per pixel.";
    }
    entries = hd.clrUsed != 0 ? hd.clrUsed : full;
  }
  const uint64_t paletteEnd = infoEnd + 4 * entries;
  if (paletteEnd > fileSize) return std::string(kUnusable) + "the colour table is cut short.";
  if (hd.offBits < paletteEnd) {
    return std::string(kUnusable) + "the pixel data would start inside the headers (offset " +
           std::to_string(hd.offBits) + ").";
  }
  layout.paletteOffset = static_cast<size_t>(infoEnd);
  layout.paletteEntries = static_cast<int>(entries);
  layout.pixelOffset = hd.offBits;
  return "";
}

// The rows of a w by h picture of `bpp` bits from `pixelOffset` on: their sizes and the length
// the file needs (the last row may lack its padding), which it must have.
std::string placeRows(long long w, long long h, int bpp, uint64_t fileSize, BmpLayout& layout) {
  const uint64_t bitsPerRow = static_cast<uint64_t>(w) * static_cast<uint64_t>(bpp);
  const uint64_t stride = (bitsPerRow + 31) / 32 * 4;
  const uint64_t rowBytes = (bitsPerRow + 7) / 8;
  const auto cutShort = [&](uint64_t needed) {
    std::string text = std::string(kUnusable) + "the pixel data are cut short (the file has " +
                       std::to_string(fileSize) + " bytes";
    if (needed != 0) text += ", the image needs " + std::to_string(needed);
    return text + ").";
  };
  if (rowBytes > fileSize || static_cast<uint64_t>(h - 1) > fileSize / stride) return cutShort(0);
  const uint64_t required = layout.pixelOffset + stride * static_cast<uint64_t>(h - 1) + rowBytes;
  if (required > fileSize) return cutShort(required);
  layout.rowStride = static_cast<size_t>(stride);
  layout.rowBytes = static_cast<size_t>(rowBytes);
  layout.requiredSize = static_cast<size_t>(required);
  return "";
}

// Checks the headers and works out the layout. `applySizeRules` adds the node's size rules.
BmpVerdict inspect(const uint8_t* head, size_t headSize, uint64_t fileSize, bool applySizeRules,
                   bool largeMemory) {
  BmpVerdict v;
  std::optional<BmpHeaders> parsed;
  if (fileSize >= kBmpHeadersSize) parsed = parseBmpHeaders(head, headSize);
  v.message = headerProblem(parsed, fileSize);
  if (!v.message.empty()) return v;

  const BmpHeaders& hd = *parsed;
  const long long w = hd.width;
  const bool topDown = hd.height < 0;
  const long long h = topDown ? -static_cast<long long>(hd.height) : hd.height;
  v.sizeRead = true;
  v.width = clampToInt(w);
  v.height = clampToInt(h);
  v.bpp = hd.bitCount;

  if (applySizeRules) v.message = sizeRuleMessage(w, h, largeMemory);
  if (v.message.empty()) v.message = conversionProblem(w, h, hd);
  BmpLayout layout;
  if (v.message.empty()) v.message = placeTables(hd, fileSize, layout);
  if (v.message.empty()) v.message = placeRows(w, h, hd.bitCount, fileSize, layout);
  if (!v.message.empty()) return v;

  layout.width = static_cast<int>(w);
  layout.height = static_cast<int>(h);
  layout.topDown = topDown;
  layout.bpp = hd.bitCount;
  v.layout = layout;
  v.imageBytes = imageByteCount(w, h, hd.bitCount);
  v.accepted = true;
  return v;
}

// The file's length, or nothing (with `error`) when it is not a readable regular file.
std::optional<uint64_t> regularFileSize(const std::string& path, std::string& error) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec || !std::filesystem::exists(status)) {
    error = "File not found: " + path;
    return std::nullopt;
  }
  if (!std::filesystem::is_regular_file(status)) {
    error = "Not a file: " + path;
    return std::nullopt;
  }
  const uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) {
    error = "Cannot read " + path + ": " + ec.message();
    return std::nullopt;
  }
  return size;
}

bool readPrefix(const std::string& path, size_t count, std::vector<uint8_t>& out,
                std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "Cannot open " + path;
    return false;
  }
  out.resize(count);
  if (count > 0) in.read(reinterpret_cast<char*>(out.data()), static_cast<std::streamsize>(count));
  const size_t got = static_cast<size_t>(in.gcount());
  if (got != count) {
    out.resize(got);
    error = "The file " + path + " is shorter than expected (it changed while being read).";
    return false;
  }
  return true;
}

}  // namespace

std::optional<BmpHeaders> parseBmpHeaders(const uint8_t* data, size_t size) {
  if (data == nullptr || size < kBmpHeadersSize) return std::nullopt;
  BmpHeaders h;
  h.type = le16(data + 0);
  h.fileSize = le32(data + 2);
  h.offBits = le32(data + 10);
  const uint8_t* info = data + kBmpFileHeaderSize;
  h.infoSize = le32(info + 0);
  h.width = static_cast<int32_t>(le32(info + 4));
  h.height = static_cast<int32_t>(le32(info + 8));
  h.planes = le16(info + 12);
  h.bitCount = static_cast<int16_t>(le16(info + 14));
  h.compression = le32(info + 16);
  h.sizeImage = le32(info + 20);
  h.clrUsed = le32(info + 32);
  return h;
}

bool hasBmpName(std::string_view name) {
  return name.size() >= 3 && toUpper(name.substr(name.size() - 3)) == "BMP";
}

std::string sizeRuleMessage(long long w, long long h, bool largeMemory) {
  if (w == 256 && h == 255) return "";
  const long long pixels = w * h;  // both within the 32-bit range: no overflow
  if (w % 4 == 0 && h % 2 == 0 && pixels > 7 && w <= 720 && h <= 616 &&
      (largeMemory || pixels <= kSmallMemoryPixels)) {
    return "";
  }
  std::string text = largeMemory ? "Max Width=720 Wide; Max Height=616 High"
                                 : "Image Max 65280 bytes, Max Width=720W; Max Height=616H";
  text += "\r\nWidth divisible by 4 && height by 2.\r\nActual ";
  text += std::to_string(w) + " by " + std::to_string(h);
  return text;
}

long long imageByteCount(long long w, long long h, int bpp) {
  return roundHalfEven(static_cast<double>(w) * static_cast<double>(h) * bpp / 8.0);
}

BmpVerdict checkBmp(const uint8_t* head, size_t headSize, uint64_t fileSize, bool largeMemory) {
  return inspect(head, headSize, fileSize, true, largeMemory);
}

std::optional<BmpImage> decodeBmp(const std::vector<uint8_t>& file, std::string& error) {
  const BmpVerdict v = inspect(file.data(), file.size(), file.size(), false, true);
  if (!v.accepted) {
    error = v.message;
    return std::nullopt;
  }
  BmpImage img;
  img.layout = v.layout;
  const BmpLayout& L = img.layout;
  if (L.bpp <= 8) {
    img.palette.assign(size_t{1} << L.bpp, std::array<uint8_t, 4>{0, 0, 0, 0});
    for (int e = 0; e < L.paletteEntries; ++e) {
      const uint8_t* p = file.data() + L.paletteOffset + 4 * static_cast<size_t>(e);
      img.palette[static_cast<size_t>(e)] = {p[0], p[1], p[2], p[3]};
    }
  }
  img.rows.resize(L.rowBytes * static_cast<size_t>(L.height));
  for (int r = 0; r < L.height; ++r) {
    // Stored row r is the bottom row first unless the file is top-down.
    const int target = L.topDown ? L.height - 1 - r : r;
    const uint8_t* src = file.data() + L.pixelOffset + L.rowStride * static_cast<size_t>(r);
    std::copy(
        src, src + L.rowBytes,
        img.rows.begin() + static_cast<std::ptrdiff_t>(L.rowBytes * static_cast<size_t>(target)));
  }
  return img;
}

std::optional<BmpVerdict> checkBmpFile(const std::string& path, bool largeMemory,
                                       std::string& error) {
  const std::optional<uint64_t> size = regularFileSize(path, error);
  if (!size) return std::nullopt;
  std::vector<uint8_t> head;
  const size_t want = static_cast<size_t>(std::min<uint64_t>(*size, kBmpHeadersSize));
  if (!readPrefix(path, want, head, error)) return std::nullopt;
  return checkBmp(head.data(), head.size(), *size, largeMemory);
}

std::optional<BmpImage> loadBmpFile(const std::string& path, std::string& error) {
  const std::optional<uint64_t> size = regularFileSize(path, error);
  if (!size) return std::nullopt;
  std::vector<uint8_t> head;
  const size_t headWant = static_cast<size_t>(std::min<uint64_t>(*size, kBmpHeadersSize));
  if (!readPrefix(path, headWant, head, error)) return std::nullopt;
  const BmpVerdict v = inspect(head.data(), head.size(), *size, false, true);
  if (!v.accepted) {
    error = v.message;
    return std::nullopt;
  }
  // Nothing larger than the node's largest picture is read into memory.
  if (v.width > 720 || v.height > 616) {
    error = sizeRuleMessage(v.width, v.height, true);
    return std::nullopt;
  }
  std::vector<uint8_t> file;
  if (!readPrefix(path, v.layout.requiredSize, file, error)) return std::nullopt;
  return decodeBmp(file, error);
}

}  // namespace osd
