// Every command to the nodes goes through here: `send` writes one string unchanged, `run`
// turns a typed command and its argument into the node's bytes and starts the waits some
// commands need. The typed helpers below name the common ones. It asks the operator nothing:
// a command that needs a yes (an erase) gets the question from its caller (`runAsked`).
#pragma once

#include <functional>
#include <string>

#include "link/link_listener.h"
#include "link/link_service.h"
#include "platform/seams.h"

namespace osd {

// The node commands, numbered as the diagnostic menu numbers its entries.
enum class Command : int {
  TakeToggle = 0,          // "AT1" / "AT0", the opposite of the last take
  TakeOff = 1,             // "AT0"
  TakeOn = 2,              // "AT1"
  FadeRate = 3,            // "AFR" + one byte
  MixLevel = 4,            // no node command
  IreLevel = 5,            // no node command
  HorizontalPosition = 6,  // "AHP" + two hex digits
  VerticalPosition = 7,    // "AVP" + two hex digits
  LoadLogo = 8,            // "ALD"
  SaveSettings = 9,        // the settings packet
  SaveLogo = 10,           // "ASI", then the timed wait
  Blink = 11,              // "ACI"
  ChangeId = 12,           // "ANI," + two hex digits
  TakeOnTime = 13,         // "APA" + one byte
  TakeOffTime = 14,        // "API" + one byte
  Wake = 15,               // "WK," + node
  Sleep = 16,              // "SP"
  SizeQuery = 17,          // "QXS"
  SelectLogo = 18,         // "AJ" + two digits + three zero bytes
  ReadBack = 19,           // "ARM"
  FactoryReset = 20,       // "QXE", "ACM"
  SetModel = 21,           // "ACT" + model
  CopyrightQuery = 22,     // "ARC", then the byte 136
  ShowDialog = 23,         // nothing on the line
  ReadConfiguration = 24,  // nothing on the line
  Password = 25,           // "AEPW" + text
  Chroma = 26,             // "ACH" + one byte
  Raw = 27,                // the argument as it is
  Erase = 28,              // "QXE"
};

// The shared wait counted down by the main tick (ticks of 25 ms).
class SharedWait {
 public:
  void start(int ticks) { left_ = ticks; }
  void stop() { left_ = 0; }
  int left() const { return left_; }
  void tick() {
    if (left_ > 0) --left_;
  }

 private:
  int left_ = 0;
};

// What the dispatcher reads from its surroundings.
struct DispatcherHooks {
  std::function<bool()> downloading;         // a logo download runs: commands are refused
  std::function<int()> model;                // the logo-generator model
  std::function<bool()> colorNode;           // the colour logo generator
  std::function<std::string()> currentNode;  // the node ID as typed (decimal)
  std::function<int(int)> imageParam;        // image-control table entry 0..20
};

class Dispatcher {
 public:
  static constexpr int kSendCounterWrap = 10000;

  Dispatcher(LinkService& link, EventLoop& loop, LinkListener& listener, DispatcherHooks hooks);

  // Writes `text` unchanged (not while guarded); opens the selected port first if needed.
  // A failure is reported as "SendCom"; the result tells whether the bytes went out.
  bool send(const std::string& text);
  // Runs one command; nothing when guarded, downloading or already running one.
  // `argument` may be changed (ChangeId pads it).
  void run(Command command, std::string& argument);
  void run(Command command, const std::string& argument = std::string());
  // Runs `command` once `yes` returned true. The question is asked inside the command: the
  // line stays held meanwhile, so nothing else goes out while the operator decides.
  void runAsked(Command command, const std::function<bool()>& yes);

  // ---- Typed commands ----
  // The operator's wake actions, which set the wake choice: node 1..255 alone ("SP",
  // "WK,"+ID) or all nodes (0: "WK,00").
  void wake(int node);
  void wakeAll() { wake(0); }
  // Wakes the node in the node field for a graphics node, else all.
  void wakeCurrent() { run(Command::Wake); }
  // The operator puts the awake nodes to sleep: no node is awake from now on.
  void sleep() { run(Command::Sleep); }
  // "SP" alone, leaving the wake choice as it is (the port changes).
  void sleepLine();
  // Puts the line back into the operator's wake choice (after a port open, for a silent
  // node, after a job that woke other nodes).
  void restoreWake();
  void sizeQuery() { run(Command::SizeQuery); }
  void copyrightQuery() { run(Command::CopyrightQuery); }
  void selectLogo(int logo);
  void horizontalPosition(int value);  // node units 34..154
  void verticalPosition(int value);    // node units 4..56
  void takeOn() { run(Command::TakeOn); }
  void takeOff() { run(Command::TakeOff); }
  void saveSettings() { run(Command::SaveSettings); }
  void saveLogo() { run(Command::SaveLogo); }
  void readBack() { run(Command::ReadBack); }
  // Erases the node's image memory ("QXE", the erase wait, "ACM") when `yes` agrees.
  void erase(const std::function<bool()>& yes) { runAsked(Command::FactoryReset, yes); }

  // Starts the node's 10-second erase wait (the erase was sent or acknowledged).
  void startEraseWait();

  // ---- State ----
  // Nothing is sent while guarded (the caller setting itself up, a logo choice being applied).
  bool guarded() const { return guard_; }
  void setGuard(bool guard) { guard_ = guard; }
  bool busy() const { return busy_; }
  void clearBusy() { busy_ = false; }
  // True when `run` would drop a command now.
  bool refusing() const;
  int sendCount() const { return sendCount_; }
  void setSendCount(int count) { sendCount_ = count; }
  SharedWait& sharedWait() { return wait_; }

 private:
  void act(Command command, std::string& arg);
  // Runs `body` as one command: not while refusing, busy meanwhile, a failure reported.
  void guarded(const std::function<void()>& body);
  void take(bool on);
  void settingsPacket();
  void saveLogoWait();
  void eraseMemory(bool factoryReset);
  void wakeNodes(const std::string& node);
  std::string nodeArgument(const std::string& arg) const;

  LinkService& link_;
  EventLoop& loop_;
  LinkListener& listener_;
  DispatcherHooks hooks_;
  SharedWait wait_;
  bool guard_ = false;
  bool busy_ = false;
  int sendCount_ = 0;
  bool lastTakeOn_ = false;
  bool anyTakeSent_ = false;
};

}  // namespace osd
