#include "sim/node.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "transfer/download_job.h"

namespace osd::sim {

namespace {

bool isHexUpper(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
int hexValue(char c) {
  return c <= '9' ? c - '0' : c - 'A' + 10;
}
int hexPair(char a, char b) {
  return hexValue(a) * 16 + hexValue(b);
}
uint8_t byteAt(const std::string& s, size_t i) {
  return static_cast<uint8_t>(s[i]);
}

std::string hexId(int id) {
  static const char* digits = "0123456789ABCDEF";
  return {digits[(id >> 4) & 15], digits[id & 15]};
}

// Checks `buf` against a fixed prefix: Complete when the whole prefix is there, NeedMore when
// what is there agrees with it so far, No otherwise.
enum class Prefix { Complete, NeedMore, No };
Prefix prefixOf(const std::string& buf, std::string_view prefix) {
  const size_t n = std::min(buf.size(), prefix.size());
  if (buf.compare(0, n, prefix.data(), n) != 0) return Prefix::No;
  return buf.size() >= prefix.size() ? Prefix::Complete : Prefix::NeedMore;
}

}  // namespace

const char* Node::copyrightText() {
  return "(C) Norvo Video Systems QX7 graphics node (simulated)\r\n";
}

uint8_t Node::patternByte(int row, int column) {
  // A frame one pixel wide around the logo, with diagonal stripes inside that move one byte
  // per row: every row and every field can be told apart.
  if (row == 0 || row == kLogoRows - 1) return 0xFF;
  uint8_t b = static_cast<uint8_t>(((row + column) % 4 == 0) ? 0xF0 : (row * 8 + column) & 0x0F);
  if (column == 0) b |= 0x80;
  if (column == kLogoWidth / 8 - 1) b |= 0x01;
  return b;
}

Node::Node(NodeConfig config)
    : config_(config), id_(config.id), model_(config.model), modelText_() {
  if (config_.memoryKiB != 512) config_.memoryKiB = 64;
  if (id_ < 1 || id_ > 255) id_ = 1;
  memory_.assign(static_cast<size_t>(config_.memoryKiB) * 1024, 0xFF);
  const int rowBytes = logoRowBytes();
  logo_.assign(static_cast<size_t>(rowBytes) * kLogoRows, 0);
  std::vector<uint8_t> bitmap(32 * kLogoRows);
  for (int r = 0; r < kLogoRows; ++r)
    for (int c = 0; c < 32; ++c) bitmap[r * 32 + c] = patternByte(r, c);
  setLogoBitmap(bitmap);
}

void Node::setLogoBitmap(const std::vector<uint8_t>& oneBitRows) {
  const int rowBytes = logoRowBytes();
  for (int r = 0; r < kLogoRows; ++r) {
    for (int c = 0; c < 32; ++c) {
      const size_t at = static_cast<size_t>(r) * 32 + c;
      const uint8_t bits = at < oneBitRows.size() ? oneBitRows[at] : 0;
      if (!config_.color) {
        logo_[r * rowBytes + c] = bits;
        continue;
      }
      // Colour: four bytes of two 4-bit palette indices for the eight pixels of this byte.
      for (int k = 0; k < 4; ++k) {
        const int hi = (bits >> (7 - 2 * k)) & 1;
        const int lo = (bits >> (6 - 2 * k)) & 1;
        logo_[r * rowBytes + c * 4 + k] = static_cast<uint8_t>(hi << 4 | lo);
      }
    }
  }
}

std::string Node::sizeAnswer() const {
  return "QX" + std::to_string(config_.memoryKiB) + "K\r\n";
}

std::string Node::readBack() const {
  std::string out;
  const int rowBytes = logoRowBytes();
  out.reserve(4 + logo_.size());
  out += '\x06';
  out += '\x02';
  out += config_.color ? "SC" : "SD";
  for (int first = kLogoRows - 2; first <= kLogoRows - 1; ++first)
    for (int r = first; r >= 0; r -= 2)
      out.append(reinterpret_cast<const char*>(&logo_[r * rowBytes]), rowBytes);
  return out;
}

std::string Node::feed(const std::string& bytes) {
  received_ += bytes.size();
  return process(bytes);
}

std::string Node::process(const std::string& bytes) {
  std::string out;
  size_t i = 0;
  while (i < bytes.size()) {
    if (phase_ == Phase::Setup || phase_ == Phase::Image) {
      const uint8_t b = byteAt(bytes, i);
      if (phase_ == Phase::Image && count_ >= earliestEnd_ && b != 0xFF) {
        endDownload(false);  // the filler run is over: this byte is a command byte
        continue;
      }
      takeDownloadByte(b);
      ++i;
      continue;
    }
    if (phase_ == Phase::Password) {
      const uint8_t b = byteAt(bytes, i);
      if (b < 33 || b > 126) {
        endPassword();
        continue;
      }
      passwordDraft_ += static_cast<char>(b);
      ++i;
      if (passwordDraft_.size() >= kPasswordMax) endPassword();
      continue;
    }
    pending_ += bytes[i++];
    // Take every command the pending bytes now hold.
    while (!pending_.empty() && phase_ == Phase::Commands) {
      size_t used = 0;
      const Match m = tryCommand(out, used);
      if (m == Match::NeedMore) break;
      if (m == Match::Complete) {
        ++commands_;
        pending_.erase(0, used);
      } else {
        ++skipped_;
        pending_.erase(0, 1);
      }
    }
    if (phase_ != Phase::Commands && !pending_.empty()) {
      // A command switched the mode (download, password): the bytes after it belong to it.
      std::string rest;
      rest.swap(pending_);
      out += process(rest);
    }
  }
  return out;
}

// One command of fixed length: its mnemonic, how many argument bytes follow it, which bytes
// each argument may be, and what the node does once the command is complete (`p` holds it).
struct Node::Command {
  std::string_view mnemonic;
  size_t argLen;
  bool (*argOk)(size_t k, char c);
  void (*run)(Node& n, const std::string& p, std::string& out);
};

namespace {

bool anyArg(size_t, char) {
  return true;
}
bool hexArg(size_t, char c) {
  return isHexUpper(c);
}
bool copyrightArg(size_t, char c) {
  return static_cast<uint8_t>(c) == 136;
}
bool logoNumberArg(size_t k, char c) {
  return k < 2 ? isDigit(c) : c == '\0';
}

// Checks `buf` against a command of fixed length: `mnemonic`, then `argLen` argument bytes
// each accepted by `argOk`.
Prefix fixedCommandOf(const std::string& buf, std::string_view mnemonic, size_t argLen,
                      bool (*argOk)(size_t, char)) {
  const Prefix pre = prefixOf(buf, mnemonic);
  if (pre != Prefix::Complete) return pre;
  const size_t have = std::min(buf.size() - mnemonic.size(), argLen);
  for (size_t k = 0; k < have; ++k)
    if (!argOk(k, buf[mnemonic.size() + k])) return Prefix::No;
  return have < argLen ? Prefix::NeedMore : Prefix::Complete;
}

}  // namespace

// Tried in this order; the binary packets after the byte 128 come last.
const Node::Command Node::kCommands[] = {
    {"WK,", 2, hexArg,
     [](Node& n, const std::string& p, std::string&) {
       const std::string who = p.substr(3, 2);
       const bool mine = who == "00" || who == hexId(n.id_);
       n.awake_ = mine || (n.awake_ && n.config_.wakeTogether);
     }},
    {"SP", 0, anyArg, [](Node& n, const std::string&, std::string&) { n.awake_ = false; }},
    {"QXS", 0, anyArg,
     [](Node& n, const std::string&, std::string& out) {
       if (n.awake_) out += n.sizeAnswer();
     }},
    {"QXE", 0, anyArg,
     [](Node& n, const std::string&, std::string& out) {
       if (n.awake_) {
         std::fill(n.memory_.begin(), n.memory_.end(), 0xFF);
         ++n.erases_;
         out += "QXERA";
       }
     }},
    {"QXW", 0, anyArg,
     [](Node& n, const std::string&, std::string&) {
       n.storing_ = n.awake_;
       n.phase_ = Phase::Setup;
       n.setupDraft_.clear();
       n.count_ = n.expected_ = n.imageBytes_ = n.earliestEnd_ = 0;
     }},
    {"ARC", 1, copyrightArg,
     [](Node& n, const std::string&, std::string& out) {
       if (n.awake_) out += copyrightText();
     }},
    {"ARM", 0, anyArg,
     [](Node& n, const std::string&, std::string& out) {
       if (n.awake_) out += n.readBack();
     }},
    {"AJ", 5, logoNumberArg,
     [](Node& n, const std::string& p, std::string&) {
       if (n.awake_) n.selectedLogo_ = (p[2] - '0') * 10 + (p[3] - '0');
     }},
    {"AHP", 2, hexArg,
     [](Node& n, const std::string& p, std::string&) {
       if (n.awake_) n.hpos_ = hexPair(p[3], p[4]);
     }},
    {"AVP", 2, hexArg,
     [](Node& n, const std::string& p, std::string&) {
       if (n.awake_) n.vpos_ = hexPair(p[3], p[4]);
     }},
    {"ANI,", 2, hexArg,
     [](Node& n, const std::string& p, std::string&) {
       const int next = hexPair(p[4], p[5]);
       if (n.awake_ && next != 0) n.id_ = next;
     }},
    {"APA", 1, anyArg,
     [](Node& n, const std::string& p, std::string&) {
       if (n.awake_) n.takeOn_ = byteAt(p, 3);
     }},
    {"API", 1, anyArg,
     [](Node& n, const std::string& p, std::string&) {
       if (n.awake_) n.takeOff_ = byteAt(p, 3);
     }},
    {"AFR", 1, anyArg,
     [](Node& n, const std::string& p, std::string&) {
       if (n.awake_) n.fadeRate_ = byteAt(p, 3);
     }},
    {"ACH", 1, anyArg,
     [](Node& n, const std::string& p, std::string&) {
       if (n.awake_) n.chroma_ = byteAt(p, 3);
     }},
    {"ACT", 2, anyArg,
     [](Node& n, const std::string& p, std::string&) {
       if (!n.awake_) return;
       n.modelText_ = p.substr(3, 2);
       if (isDigit(p[3]) && isDigit(p[4])) n.model_ = (p[3] - '0') * 10 + (p[4] - '0');
     }},
    {"AEPW", 0, anyArg,
     [](Node& n, const std::string&, std::string&) {
       n.phase_ = Phase::Password;
       n.passwordDraft_.clear();
     }},
    {"ACM", 0, anyArg, [](Node&, const std::string&, std::string&) {}},
    {"ARS", 0, anyArg, [](Node&, const std::string&, std::string&) {}},
    {"ASI", 0, anyArg,
     [](Node& n, const std::string&, std::string&) {
       if (n.awake_) ++n.saves_;
     }},
    {"ACI", 0, anyArg, [](Node&, const std::string&, std::string&) {}},
    {"ALD", 0, anyArg, [](Node&, const std::string&, std::string&) {}},
    {"AT0", 0, anyArg,
     [](Node& n, const std::string&, std::string&) {
       if (n.awake_) n.takeState_ = 0;
     }},
    {"AT1", 0, anyArg,
     [](Node& n, const std::string&, std::string&) {
       if (n.awake_) n.takeState_ = 1;
     }},
    {"\x80\x89", 4, anyArg,
     [](Node& n, const std::string& p, std::string&) {
       if (!n.awake_) return;
       const auto b = [&](size_t k) { return static_cast<int>(byteAt(p, 2 + k)); };
       n.packet_ = PositionPacket{b(0) | b(1) << 8, b(2) | b(3) << 8};
     }},
};

Node::Match Node::tryCommand(std::string& out, size_t& used) {
  bool waiting = false;
  for (const Command& c : kCommands) {
    const Prefix m = fixedCommandOf(pending_, c.mnemonic, c.argLen, c.argOk);
    if (m == Prefix::NeedMore) waiting = true;
    if (m != Prefix::Complete) continue;
    used = c.mnemonic.size() + c.argLen;
    c.run(*this, pending_, out);
    return Match::Complete;
  }
  const Match packet = trySettingsPacket(used);
  if (packet != Match::No) return packet;
  return waiting ? Match::NeedMore : Match::No;
}

// The settings packet: its length byte follows the fixed start, the byte 3 ends it.
Node::Match Node::trySettingsPacket(size_t& used) {
  const std::string& p = pending_;
  const Prefix pre = prefixOf(p,
                              "\x80\x82\x8A"
                              "1");
  if (pre == Prefix::NeedMore) return Match::NeedMore;
  if (pre == Prefix::No) return Match::No;
  if (p.size() < 5) return Match::NeedMore;
  const size_t len = byteAt(p, 4);
  if (p.size() < 5 + len + 1) return Match::NeedMore;
  if (byteAt(p, 5 + len) != 3) return Match::No;
  if (awake_) settings_.assign(p.begin() + 5, p.begin() + 5 + static_cast<long>(len));
  used = 5 + len + 1;
  return Match::Complete;
}

void Node::takeDownloadByte(uint8_t b) {
  if (phase_ == Phase::Setup) {
    setupDraft_.push_back(b);
    if (setupDraft_.size() == kSetupBytes) startImagePhase();
    return;
  }
  if (storing_ && count_ < memory_.size()) memory_[count_] = b;
  ++count_;
  if (count_ >= expected_) endDownload(true);
}

void Node::startImagePhase() {
  const int w4 = setupDraft_[8] | setupDraft_[9] << 8;
  const int h2 = setupDraft_[10] | setupDraft_[11] << 8;
  if (storing_) {
    setup_ = setupDraft_;
    width_ = w4 * 4;
    height_ = h2 * 2;
  }
  const int64_t mem = static_cast<int64_t>(memory_.size());
  // The program's own plan of the stream: what it sends after the setup block.
  const DownloadPlan plan{w4 * 4, h2 * 2, mem};
  const int64_t picture = plan.pictureBytes();
  imageBytes_ = static_cast<uint64_t>(picture);
  expected_ = static_cast<uint64_t>(picture + plan.fillerBlocks() * DownloadPlan::kFillerBlock);
  // The earliest count at which the program's filler run can end.
  earliestEnd_ = std::min<uint64_t>(expected_, std::max<int64_t>(picture, mem - 254));
  phase_ = Phase::Image;
  if (expected_ == 0) endDownload(true);
}

void Node::endDownload(bool complete) {
  phase_ = Phase::Commands;
  if (!storing_) return;
  ++downloadsEnded_;
  lastDownloadComplete_ = complete;
}

void Node::endPassword() {
  if (awake_) password_ = passwordDraft_;
  passwordDraft_.clear();
  phase_ = Phase::Commands;
}

void Node::quiet(int quietMs) {
  if (phase_ == Phase::Password && quietMs >= kPasswordQuietMs) endPassword();
  if ((phase_ == Phase::Setup || phase_ == Phase::Image) && quietMs >= kDownloadQuietMs)
    endDownload(false);
}

Line::Line(const NodeConfig& config, const std::vector<int>& ids,
           const std::map<int, int>& memoryKiB) {
  std::vector<int> sorted;
  for (const int id : ids)
    if (id >= 1 && id <= 255) sorted.push_back(id);
  std::sort(sorted.begin(), sorted.end());
  sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
  if (sorted.empty()) sorted.push_back(config.id);
  for (const int id : sorted) {
    NodeConfig c = config;
    c.id = id;
    if (const auto m = memoryKiB.find(id); m != memoryKiB.end()) c.memoryKiB = m->second;
    nodes_.emplace_back(c);
  }
}

std::string Line::feed(const std::string& bytes) {
  // An ID change ("ANI,") can reorder the nodes; answers keep to the IDs they have now.
  std::vector<size_t> order(nodes_.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::vector<std::string> answers(nodes_.size());
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const int ended = nodes_[i].downloadsEnded();
    answers[i] = nodes_[i].feed(bytes);
    if (nodes_[i].downloadsEnded() != ended) shown_ = i;
  }
  std::stable_sort(order.begin(), order.end(),
                   [this](size_t a, size_t b) { return nodes_[a].id() < nodes_[b].id(); });
  std::string out;
  for (const size_t i : order) out += answers[i];
  return out;
}

void Line::quiet(int quietMs) {
  for (size_t i = 0; i < nodes_.size(); ++i) {
    const int ended = nodes_[i].downloadsEnded();
    nodes_[i].quiet(quietMs);
    if (nodes_[i].downloadsEnded() != ended) shown_ = i;
  }
}

void Line::setLogoBitmap(const std::vector<uint8_t>& oneBitRows) {
  for (Node& n : nodes_) n.setLogoBitmap(oneBitRows);
}

int Line::downloadsEnded() const {
  int total = 0;
  for (const Node& n : nodes_) total += n.downloadsEnded();
  return total;
}

}  // namespace osd::sim
