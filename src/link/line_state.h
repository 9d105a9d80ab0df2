// The line as a whole: which nodes the operator has woken, and the bytes written that the
// line has not carried yet. Every byte for the nodes goes to the port through here, and
// nowhere else.
//
// Every command acts on whichever nodes are awake, and a node takes every byte after "QXW"
// as picture data until its memory is full. So the program keeps the operator's wake choice
// (all nodes, one node, none) and puts the line back into it whenever something else woke
// other nodes (a port re-open, a scan, a several-node job); and it never lets more than about
// one second of the line run ahead of what the line has carried, so a stop is a stop.
//
//   LineState line(port, loop);
//   line.write("QXS");                   // waits while more than kMostInFlight are on their way
//   line.inFlight();                     // bytes still on their way
//   line.setAwake(Awake::node(7));       // the operator woke node 7
//   restoreCommands(line.awake());       // "SP", "WK,07"
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/seams.h"

namespace osd {

// Which nodes the operator last woke.
struct Awake {
  enum class Kind { All, Node, None };
  Kind kind = Kind::All;
  int id = 0;  // 1..255 with Kind::Node

  static Awake all() { return {}; }
  static Awake node(int id) { return {Kind::Node, id}; }
  static Awake none() { return {Kind::None, 0}; }
  bool operator==(const Awake&) const = default;
};

// "Awake: all nodes", "Awake: node 7", "Awake: none".
std::string awakeText(const Awake& awake);
// The download question's second line: "It goes to node 7.", "It goes to every node on the
// line."; "" when no node is awake.
std::string targetText(const Awake& awake);
// The same for a job of several nodes: "It goes to node 3." / "It goes to nodes 3, 26.".
std::string targetText(const std::vector<int>& ids);
// What puts the line back into `awake`: "SP", "WK,07"; "WK,00"; "SP".
std::vector<std::string> restoreCommands(const Awake& awake);
// What goes before a download's erase (or its stream when there is none): "SP", then the
// choice ("WK,07" or "WK,00"). Nothing when no node is awake: there is nothing to send to.
std::vector<std::string> targetCommands(const Awake& awake);

class LineState {
 public:
  // At 9600 baud the line carries 960 bytes a second: a block is written only while at most
  // this many are on their way.
  static constexpr int64_t kMostInFlight = 960;
  static constexpr double kBytesPerSecond = 960.0;
  // A port that takes nothing for this long is given up.
  static constexpr double kStallSeconds = 10.0;

  LineState(SerialPort& port, EventLoop& loop) : port_(port), loop_(loop) {}

  // ---- The operator's wake choice ----
  const Awake& awake() const { return awake_; }
  void setAwake(const Awake& awake);
  // Told after every change of the choice.
  std::function<void(const Awake&)> onAwakeChanged;

  // ---- Bytes in flight ----
  // Writes `bytes` in pieces of at most kMostInFlight, each once no more than kMostInFlight
  // bytes are on their way (the event loop runs meanwhile). Throws Failure when the port is
  // closed or takes nothing for kStallSeconds.
  void write(const std::string& bytes);
  // Bytes written that the line has not carried yet: what the port (and its driver) still
  // holds, and never less than the line's speed allows since they were written (a
  // pseudo-terminal takes kilobytes at once and reports none as held). 0 on a closed port.
  int64_t inFlight() const;
  // Seconds until the line has carried what is in flight.
  double backlogSeconds() const { return static_cast<double>(inFlight()) / kBytesPerSecond; }
  // Every byte written so far (all senders together).
  int64_t written() const { return written_; }
  // A node answered a request: the line has carried everything before it.
  void carried();
  // The port was closed or re-opened: nothing written before is on its way any more.
  void forget();
  // Lets the event loop run until nothing is in flight, the port closed, `stop` says so, or
  // `limitSeconds` passed; `waiting` (optional) is told the bytes still on their way after
  // each pass. True when the line has carried everything.
  bool drain(double limitSeconds, const std::function<bool()>& stop = {},
             const std::function<void(int64_t)>& waiting = {});

 private:
  void waitForRoom();

  SerialPort& port_;
  EventLoop& loop_;
  Awake awake_;
  int64_t written_ = 0;
  double lineFree_ = 0;  // when the line will have carried every byte written (loop's clock)
};

}  // namespace osd
