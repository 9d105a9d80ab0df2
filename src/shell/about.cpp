// The about window: product and version texts, the credits that come and go, and the
// countdown after which the window closes itself.
#include "shell/about.h"

#include "build_config.h"

namespace osd {

namespace {
constexpr const char* kCrLf = "\r\n";

Control label(const std::string& text, bool visible = true) {
  Control c;
  c.text = text;
  c.visible = visible;
  return c;
}
}  // namespace

AboutWindow::AboutWindow(EventLoop& loop, Launcher& launcher) : loop_(loop), launcher_(launcher) {
  ui_.define("Frame1", label(""));
  ui_.define("picIcon", label(""));
  ui_.define("lblVersion", label(""));
  ui_.define("lblProductName", label(""));
  ui_.define("lblCompany", label(""));
  ui_.define("lblProduct", label(""));
  ui_.define("lblCredit", label("", false));
  ui_.define("lblMail", label(OSD_DEVELOPER_MAIL));
  ui_.define("lblWeb", label(OSD_DEVELOPER_WEB));
}

void AboutWindow::load(bool aboutFlag) {
  ui_.setText("lblVersion", "Version " + std::to_string(OSD_VERSION_MAJOR) + "." +
                                std::to_string(OSD_VERSION_MINOR) + "." +
                                std::to_string(OSD_VERSION_PATCH) + " ");
  ui_.setText("lblProductName", "ZE3/ZI7-Vova");
  ui_.setText("lblCompany", std::string(OSD_MAKER_NAME) + kCrLf + OSD_MAKER_TOWN);
  ui_.setText("lblProduct", std::string("RA7-Ziro") + kCrLf + "On Screen Display Programmer");
  ui_.setText("lblCredit", std::string("Software Developed by:") + kCrLf + OSD_DEVELOPER_NAME +
                               kCrLf + OSD_DEVELOPER_PHONE + kCrLf + OSD_DEVELOPER_WEB + kCrLf +
                               OSD_DEVELOPER_MAIL);
  ui_.setText("lblMail", OSD_DEVELOPER_MAIL);
  ui_.setText("lblWeb", OSD_DEVELOPER_WEB);
  setCreditVisible(false);

  closeCountdown_ = aboutFlag ? kAboutCountdown : kSplashCountdown;
  wait_ = kWaitReload;
  show_ = kShowReload;
  held_ = false;
  open_ = true;
  loop_.setTimerEnabled(TimerId::About, true);
}

bool AboutWindow::tick() {
  if (!open_) {
    loop_.setTimerEnabled(TimerId::About, false);
    return false;
  }
  if (closeCountdown_ < 1 && !held_) {
    close();
    return true;
  }
  if (closeCountdown_ >= 1) --closeCountdown_;

  // The credits: hidden for `wait` ticks, then shown for `show` more.
  if (wait_ >= 1) {
    --wait_;
  } else {
    setCreditVisible(true);
    if (show_ < 1) {
      setCreditVisible(false);
      wait_ = kWaitReload;
      show_ = kShowReload;
    } else {
      --show_;
    }
  }
  return false;
}

void AboutWindow::press() {
  held_ = true;
}

void AboutWindow::release() {
  held_ = false;
}

void AboutWindow::move() {
  if (held_) setCreditVisible(true);
}

void AboutWindow::click(const std::string& name) {
  if (!open_) return;
  if (name == "lblMail") {
    launcher_.openDocument("mailto:" + ui_.text("lblMail"));
  } else if (name == "lblWeb") {
    launcher_.openDocument(ui_.text("lblWeb"));
  }
  close();
}

void AboutWindow::keyPress() {
  close();
}

void AboutWindow::close() {
  if (!open_) return;
  open_ = false;
  held_ = false;
  loop_.setTimerEnabled(TimerId::About, false);
  if (closed) closed();
}

void AboutWindow::setCreditVisible(bool visible) {
  ui_.setVisible("lblCredit", visible);
}

}  // namespace osd
