// Sending to the nodes and the command dispatcher: the wire vocabulary of the nodes.
#include "link/dispatcher.h"

#include <cctype>
#include <exception>

#include "common/textnum.h"

namespace osd {

namespace {
constexpr int kHeardRecently = 600;  // ticks
constexpr int kSaveLogoWait = 32;    // ticks after "ASI"
constexpr int kSaveLogoWaitColour = 128;
constexpr int kSettingsCount = 16;
}  // namespace

Dispatcher::Dispatcher(LinkService& link, EventLoop& loop, LinkListener& listener,
                       DispatcherHooks hooks)
    : link_(link), loop_(loop), listener_(listener), hooks_(std::move(hooks)) {}

bool Dispatcher::send(const std::string& text) {
  if (guard_) return false;
  bool written = false;
  try {
    if (!link_.isOpen()) {
      if (link_.port() == 0) return false;
      link_.open();
    }
    if (link_.isOpen()) {
      if (link_.silentTicks() < kHeardRecently && link_.state() == PortState::NotUsable) {
        link_.setState(PortState::Open);
      }
      listener_.aboutToSend();
      link_.write(text);
      written = true;
    } else {
      link_.setState(PortState::NotUsable);
    }
  } catch (const std::exception& e) {
    listener_.error(e.what(), ErrorAt::SendCom);
  }
  sendCount_ = (sendCount_ + 1) % kSendCounterWrap;
  listener_.sent(text, sendCount_);
  return written;
}

bool Dispatcher::refusing() const {
  return guard_ || (hooks_.downloading && hooks_.downloading()) || busy_;
}

void Dispatcher::run(Command command, const std::string& argument) {
  std::string arg = argument;
  run(command, arg);
}

void Dispatcher::run(Command command, std::string& arg) {
  guarded([&] { act(command, arg); });
}

void Dispatcher::runAsked(Command command, const std::function<bool()>& yes) {
  std::string arg;
  guarded([&] {
    if (yes()) act(command, arg);
  });
}

void Dispatcher::guarded(const std::function<void()>& body) {
  if (refusing()) return;
  busy_ = true;
  try {
    body();
  } catch (const std::exception& e) {
    listener_.error(e.what(), ErrorAt::CmdTree);
  }
  busy_ = false;
}

void Dispatcher::wake(int node) {
  run(Command::Wake, node > 0 ? hex2(node) : std::string("00"));
}

void Dispatcher::selectLogo(int logo) {
  run(Command::SelectLogo, dec2(logo));
}

void Dispatcher::horizontalPosition(int value) {
  run(Command::HorizontalPosition, hex2(value));
}

void Dispatcher::verticalPosition(int value) {
  run(Command::VerticalPosition, hex2(value));
}

namespace {

// Commands written as their mnemonic, followed by the argument where they take one.
struct Plain {
  Command command;
  const char* mnemonic;
  bool withArgument;
};
constexpr Plain kPlain[] = {
    {Command::FadeRate, "AFR", true},
    {Command::HorizontalPosition, "AHP", true},
    {Command::VerticalPosition, "AVP", true},
    {Command::LoadLogo, "ALD", false},
    {Command::Blink, "ACI", false},
    {Command::TakeOnTime, "APA", true},
    {Command::TakeOffTime, "API", true},
    {Command::SizeQuery, "QXS", false},
    {Command::ReadBack, "ARM", false},
    {Command::SetModel, "ACT", true},
    {Command::Password, "AEPW", true},
    {Command::Chroma, "ACH", true},
    {Command::Raw, "", true},
};

}  // namespace

void Dispatcher::act(Command command, std::string& arg) {
  for (const Plain& p : kPlain) {
    if (p.command == command) {
      send(p.withArgument ? p.mnemonic + arg : std::string(p.mnemonic));
      return;
    }
  }
  switch (command) {
    case Command::TakeToggle:
      take(!(anyTakeSent_ && lastTakeOn_));
      break;
    case Command::TakeOff:
    case Command::TakeOn:
      take(command == Command::TakeOn);
      break;
    case Command::MixLevel:
      listener_.status("Mix Level: the node has no command for it; nothing sent.");
      break;
    case Command::IreLevel:
      listener_.status("IRE Level: the node has no command for it; nothing sent.");
      break;
    case Command::SaveSettings:
      settingsPacket();
      break;
    case Command::SaveLogo:
      saveLogoWait();
      break;
    case Command::ChangeId:
      if (arg.size() < 2) arg = "01";
      send("ANI," + arg);
      break;
    case Command::Wake:
      wakeNodes(nodeArgument(arg));
      break;
    case Command::Sleep:
      send("SP");
      link_.line().setAwake(Awake::none());
      break;
    case Command::SelectLogo:
      send("AJ" + arg + std::string(3, '\0'));
      break;
    case Command::FactoryReset:
    case Command::Erase:
      eraseMemory(command == Command::FactoryReset);
      break;
    case Command::CopyrightQuery:
      listener_.copyrightAsked();
      send("ARC");
      listener_.copyrightAsked();
      send(byteChar(136));
      break;
    default:  // no node command: nothing on the line
      break;
  }
}

// The opposite of the last take sent is the toggle's; "AT1" the first time.
void Dispatcher::take(bool on) {
  send(on ? "AT1" : "AT0");
  lastTakeOn_ = on;
  anyTakeSent_ = true;
}

// One byte 128, then 130, 138, "1", the length 16, image-control entries 0..15 and 3.
void Dispatcher::settingsPacket() {
  send(byteChar(128));
  std::string packet;
  packet += byteChar(130);
  packet += byteChar(138);
  packet += "1";
  packet += byteChar(kSettingsCount);
  for (int i = 0; i < kSettingsCount; ++i) {
    const int value = hooks_.imageParam ? hooks_.imageParam(i) : 0;
    packet += byteChar(value);
    listener_.settingsValue(value);
  }
  packet += byteChar(3);
  send(packet);
}

// "ASI", then the node needs time to store the logo; commands meanwhile are refused.
void Dispatcher::saveLogoWait() {
  send("ASI");
  const int length = hooks_.colorNode && hooks_.colorNode() ? kSaveLogoWaitColour : kSaveLogoWait;
  wait_.start(length);
  listener_.progressShown(true);
  while (wait_.left() > 0) {
    listener_.progress(static_cast<double>(length - wait_.left()) / length * 100.0);
    loop_.yield();
  }
  listener_.progressShown(false);
}

void Dispatcher::eraseMemory(bool factoryReset) {
  send("QXE");
  startEraseWait();
  if (factoryReset) send("ACM");
}

void Dispatcher::startEraseWait() {
  loop_.setTimerEnabled(TimerId::TenSec, true);
  listener_.eraseStarted();
}

// "00" wakes all nodes; one node is woken alone ("SP" first). Either way it is the operator's
// wake choice from now on.
void Dispatcher::wakeNodes(const std::string& node) {
  int id = 0;
  const bool hex = node.size() == 2 && std::isxdigit(static_cast<unsigned char>(node[0])) &&
                   std::isxdigit(static_cast<unsigned char>(node[1]));
  if (hex) id = std::stoi(node, nullptr, 16);
  if (id > 0) send("SP");
  send("WK," + node);
  if (hex) link_.line().setAwake(id > 0 ? Awake::node(id) : Awake::all());
}

void Dispatcher::restoreWake() {
  guarded([this] {
    for (const std::string& c : restoreCommands(link_.line().awake())) send(c);
  });
}

void Dispatcher::sleepLine() {
  run(Command::Raw, "SP");
}

// An empty node argument: the node in the node field for a graphics node, else all nodes.
std::string Dispatcher::nodeArgument(const std::string& arg) const {
  if (!arg.empty()) return arg;
  if (hooks_.model && hooks_.model() == 1 && hooks_.currentNode) {
    return hex2(roundHalfEven(leadingNumber(hooks_.currentNode())));
  }
  return "00";
}

}  // namespace osd
