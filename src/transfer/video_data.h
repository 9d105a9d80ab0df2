// The video-controller data: the three encoder register tables (NTSC, PAL B, PAL M), the
// image-control table, their defaults, the text file format they are kept in, and the setup
// block that precedes every logo download. Standard library only.
#pragma once

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace osd::video {

enum class Table : int { Ntsc = 0, PalB = 1, PalM = 2, Image = 3 };

constexpr int kRegisterCount = 20;    // entries 0..19 of a register table
constexpr int kImageParamCount = 21;  // entries 0..20 of the image-control table
constexpr int kImageFieldsRead = 16;  // the image-control file gives entries 0..15
constexpr int kLinesWritten = 20;     // every file is written with entries 0..19
constexpr int kSetupBlockSize = 257;  // entries 0..256; 0..255 go on the line

using RegisterTable = std::array<int, kRegisterCount>;
using ImageParams = std::array<int, kImageParamCount>;
using SetupBlock = std::array<int, kSetupBlockSize>;

// The base name a table is written under ("Video-NTSBData" ...); the file is base + ".dat".
const char* baseName(Table table);
// How many fields the reader takes from the table's file (20 or 16).
int fieldsRead(Table table);

// Default register values of one video standard (Ntsc, PalB or PalM).
RegisterTable defaultRegisters(Table table);
// Default image-control values for a bitmap of `width` x `height` pixels.
ImageParams defaultImageParams(int width, int height);

// A data file that cannot be used: missing, short, or holding a value too large.
class DataError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Splits the text of a data file into its fields: a field ends at a comma or at the end of
// a line; leading spaces are skipped; a field in double quotes is taken without its quotes
// (anything after the closing quote up to the next comma or line end is dropped). A blank
// line is an empty field; the line break that ends the file does not start another one.
std::vector<std::string> splitFields(std::string_view text);

// The number of one field: the lenient leading number, rounded halves to even. Throws
// DataError when it does not fit in a 32-bit integer.
int32_t fieldValue(std::string_view field);

// The first `count` field values of a file's text. Throws DataError when there are fewer.
std::vector<int32_t> readValues(std::string_view text, int count, const std::string& fileName);

// The text written for a table: entries 0..19, each right-aligned in 4 characters (only the
// last 4 kept), each line ended by CR LF.
std::string formatValues(const int* table, int count = kLinesWritten);

// The path of `fileName` inside `folder`, matched without regard to letter case. When no file
// of that name exists yet, `folder` + "/" + `fileName`. When several differ only by case, the
// exact spelling wins, else the first in name order.
std::string findFile(const std::string& folder, const std::string& fileName);

// Reads a whole file; throws DataError when it is missing or unreadable.
std::string readWholeFile(const std::string& path);

// Writes `content` to `path` completely (through a temporary file in the same folder, flushed
// to the disk) and only then replaces the old file. Throws std::runtime_error on failure;
// the old file is then untouched and no temporary file remains.
void replaceFile(const std::string& path, const std::string& content);

// Before the defaults replace the data files in `imagesDir`: every file there that cannot be
// read as its table needs (a value too large, too few fields, not readable) is copied beside
// itself as NAME.bad, so an operator's edit is not lost. Returns one line for the operator
// naming what was kept, or "" when every file read (or none was there).
std::string keepUnreadableFiles(const std::string& imagesDir);

// "Image Parameters:" and, for entries 0..15, a space and the last two upper-case hex digits.
std::string imageSettingsText(const ImageParams& params);

// Fills entries 0..31 of the setup block for a `width` x `height` logo from the image-control
// table; entries 32..256 keep what they held.
void fillSetupBlock(SetupBlock& block, int width, int height, const ImageParams& params);

}  // namespace osd::video
