// A simulated graphics node: the protocol state machine alone, with no I/O and no clock.
//
// The wire carries commands back to back with no terminators, so the node recognises each
// command by its mnemonic and the fixed length of its argument. Bytes that cannot begin any
// command are dropped one at a time, which brings the node back in step after garbage.
//
// Commands understood (bytes are exact; "h" is an upper-case hexadecimal digit, "d" a decimal
// digit, "x" any byte):
//   "WK,hh"        wake-up: this node's ID or "00" wakes it; any other ID puts it to sleep
//                  (or, with `wakeTogether`, leaves it as it is)
//   "SP"           sleep
//   "QXS"          size answer "QX64K\r\n" / "QX512K\r\n"
//   "QXE"          erase the image memory (to 0xFF), answer "QXERA"
//   "QXW"          download: 256 setup bytes, then image bytes and 0xFF fillers (below)
//   "ACM"          erase companion command (accepted)
//   "ARC",136      copyright answer, a text beginning "(C)"
//   "ARM"          read-back of the held logo (below)
//   "AJdd",0,0,0   select logo dd
//   "AHPhh" "AVPhh" horizontal / vertical position
//   128,137,Vlo,Vhi,Hlo,Hhi                position packet
//   128,130,138,'1',L, L bytes, 3          settings packet (L is 16 from the program)
//   "ANI,hh"       change this node's ID (00 is refused)
//   "APAx" "APIx" "AFRx" "ACHx"            take times, fade rate, chroma: one byte each
//   "ACTxx"        model number, two characters
//   "AEPW"+text    password, see below
//   "ARS" "ASI" "ACI" "ALD" "AT0" "AT1"   accepted without an answer
//
// A node answers only while awake; asleep it still follows the byte stream (a sleeping node
// must step over another node's download, not read its picture as commands).
//
// Password: the text after "AEPW" has no length on the wire. The node takes printable
// characters (33-126) up to 16 of them; the password ends at the first other byte (which is
// then read as a command byte), at the sixteenth character, or when the line goes quiet
// (quiet(), the caller's clock).
//
// Download: after "QXW" come 256 setup bytes; setup bytes 8-9 and 10-11 hold W/4 and H/2 as
// 16-bit little-endian values, so the picture is W x H bytes, rows top line first. Image
// bytes and the 0xFF fillers after them are stored from address 0 of the image memory;
// bytes beyond the memory are dropped. The download is complete when the node has counted
// the picture plus the fillers the program sends (128-byte blocks up to the end of memory:
// floor((n + 1) / 128) + 1 of them, n = memory - (W x H + 256), none when n + 1 < 0). It
// also ends early, incomplete, when the line goes quiet, or when a byte other than 0xFF
// arrives once the count has reached the earliest point a filler run can end (that byte is
// then read as a command byte).
//
// Read-back ("ARM"): two leading bytes 0x06 0x02, the marker "SD" ("SC" for a colour node),
// then the logo in field order: rows 62, 60, ..., 0 and then 63, 61, ..., 1 (rows numbered
// as in a BMP file, 0 = bottom), 32 bytes a row (128 for colour). 2052 bytes in all (8196).
// The node holds its logo as a logo generator does: a monochrome stored byte is the bitmap
// byte (1 bit a pixel, leftmost pixel in bit 7, a set bit white), so a logo read back and saved
// is the picture that was stored; a colour stored byte holds two 4-bit palette indices.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace osd::sim {

struct NodeConfig {
  int memoryKiB = 64;  // 64 or 512
  int id = 1;          // 1..255
  int model = 1;       // logo-generator model number it reports through "ACT"
  bool color = false;  // colour logo generator: "SC" read-back, 128-byte rows
  // Waking another node leaves this one awake (by default it sends this one to sleep).
  bool wakeTogether = false;
};

struct PositionPacket {
  int v = 0;
  int h = 0;
};

class Node {
 public:
  static constexpr int kLogoWidth = 256;
  static constexpr int kLogoRows = 64;
  static constexpr int kSetupBytes = 256;
  static constexpr size_t kPasswordMax = 16;

  explicit Node(NodeConfig config = {});

  // Consumes received bytes (one char per byte) and returns the bytes to answer.
  std::string feed(const std::string& bytes);

  // The caller's clock: the line has been quiet for `quietMs` milliseconds. Ends a pending
  // password (after kPasswordQuietMs) and a stalled download (after kDownloadQuietMs).
  static constexpr int kPasswordQuietMs = 300;
  static constexpr int kDownloadQuietMs = 2000;
  void quiet(int quietMs);

  // ---- the logo it holds ----
  // Bytes of one row (BMP numbering, 0 = bottom) as the node stores them.
  int logoRowBytes() const { return config_.color ? 128 : 32; }
  const std::vector<uint8_t>& storedLogo() const { return logo_; }  // row r at r * rowBytes
  // Replaces the held logo with a 1-bit bitmap's bytes: 64 rows of 32 bytes, bottom row
  // first, leftmost pixel in bit 7 (the BMP file's own order).
  void setLogoBitmap(const std::vector<uint8_t>& oneBitRows);
  // The built-in logo: bitmap byte of row r, byte c (before the node's inversion for mono).
  static uint8_t patternByte(int row, int column);

  // ---- state queries ----
  bool awake() const { return awake_; }
  int id() const { return id_; }
  int model() const { return model_; }
  std::string modelText() const { return modelText_; }
  const NodeConfig& config() const { return config_; }
  int selectedLogo() const { return selectedLogo_; }  // 0 until "AJ"
  int horizontalPosition() const { return hpos_; }    // from "AHP", -1 until set
  int verticalPosition() const { return vpos_; }      // from "AVP", -1 until set
  std::optional<PositionPacket> lastPositionPacket() const { return packet_; }
  const std::vector<uint8_t>& settingsPacket() const { return settings_; }  // payload only
  const std::vector<uint8_t>& setupBlock() const { return setup_; }         // empty until QXW
  const std::vector<uint8_t>& imageMemory() const { return memory_; }
  int imageWidth() const { return width_; }
  int imageHeight() const { return height_; }
  std::string password() const { return password_; }
  int takeOn() const { return takeOn_; }                   // from "APA", -1 until set
  int takeOff() const { return takeOff_; }                 // from "API"
  int fadeRate() const { return fadeRate_; }               // from "AFR"
  int chroma() const { return chroma_; }                   // from "ACH"
  int takeState() const { return takeState_; }             // "AT0" 0, "AT1" 1, -1 until set
  size_t pendingBytes() const { return pending_.size(); }  // a command not yet complete
  uint64_t bytesReceived() const { return received_; }
  uint64_t commandsAccepted() const { return commands_; }
  uint64_t bytesSkipped() const { return skipped_; }
  int erases() const { return erases_; }
  int logoSaves() const { return saves_; }  // "ASI"

  bool downloading() const { return phase_ != Phase::Commands; }
  // Downloads that ended (complete or not) since the node was made, and how the last ended.
  int downloadsEnded() const { return downloadsEnded_; }
  bool lastDownloadComplete() const { return lastDownloadComplete_; }
  // Image and filler bytes counted by the current or last download.
  uint64_t downloadCount() const { return count_; }
  uint64_t downloadExpected() const { return expected_; }

  // The text answered to "ARC".
  static const char* copyrightText();

 private:
  enum class Phase { Commands, Setup, Image, Password };
  enum class Match { Complete, NeedMore, No };
  struct Command;                    // one entry of the command table (node.cpp)
  static const Command kCommands[];  // the commands of fixed length

  std::string process(const std::string& bytes);
  Match tryCommand(std::string& out, size_t& used);
  Match trySettingsPacket(size_t& used);
  void takeDownloadByte(uint8_t b);
  void startImagePhase();
  void endDownload(bool complete);
  void endPassword();
  std::string readBack() const;
  std::string sizeAnswer() const;

  NodeConfig config_;
  bool awake_ = false;
  int id_;
  int model_;
  std::string modelText_;
  int selectedLogo_ = 0;
  int hpos_ = -1, vpos_ = -1;
  std::optional<PositionPacket> packet_;
  std::vector<uint8_t> settings_;
  std::vector<uint8_t> setup_;
  std::vector<uint8_t> memory_;
  std::vector<uint8_t> logo_;
  std::string password_, passwordDraft_;
  int takeOn_ = -1, takeOff_ = -1, fadeRate_ = -1, chroma_ = -1, takeState_ = -1;
  uint64_t received_ = 0, commands_ = 0, skipped_ = 0;
  int erases_ = 0, saves_ = 0;

  std::string pending_;  // bytes of a command not yet complete (bounded)
  Phase phase_ = Phase::Commands;
  bool storing_ = false;  // the download is for this node (it was awake at "QXW")
  std::vector<uint8_t> setupDraft_;
  int width_ = 0, height_ = 0;
  uint64_t count_ = 0, expected_ = 0, imageBytes_ = 0, earliestEnd_ = 0;
  int downloadsEnded_ = 0;
  bool lastDownloadComplete_ = false;
};

// Several nodes sharing one line: every node hears every byte, and each answers only while
// awake (woken by its own ID or by "00"). The answers to one stretch of received bytes follow
// one another in ID order, as nodes that wait for a quiet line would send them.
class Line {
 public:
  // `ids` empty: the one node of `config`. Otherwise one node per distinct ID (1..255), each
  // with the other settings of `config` and the image memory `memoryKiB` names for its ID.
  Line(const NodeConfig& config, const std::vector<int>& ids,
       const std::map<int, int>& memoryKiB = {});

  std::string feed(const std::string& bytes);
  void quiet(int quietMs);
  void setLogoBitmap(const std::vector<uint8_t>& oneBitRows);

  const std::vector<Node>& nodes() const { return nodes_; }
  // The node that took the last completed or broken-off download, else the first one.
  const Node& shown() const { return nodes_[shown_]; }
  // Downloads that ended on any node of the line.
  int downloadsEnded() const;

 private:
  std::vector<Node> nodes_;
  size_t shown_ = 0;
};

}  // namespace osd::sim
