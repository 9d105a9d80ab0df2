// The about window: product and version texts, the credits that come and go, and the
// countdown after which the window closes itself.
#include "shell/about.h"

#include "build_config.h"

namespace osd {

namespace {
constexpr const char* kCrLf = "\r\n";
}  // namespace

AboutWindow::AboutWindow(EventLoop& loop, Launcher& launcher) : loop_(loop), launcher_(launcher) {
  auto v = update();
  v->mail = OSD_DEVELOPER_MAIL;
  v->web = OSD_DEVELOPER_WEB;
}

void AboutWindow::load(bool aboutFlag) {
  {
    auto v = update();
    v->version = "Version " + std::to_string(OSD_VERSION_MAJOR) + "." +
                 std::to_string(OSD_VERSION_MINOR) + "." + std::to_string(OSD_VERSION_PATCH) + " ";
    v->productName = "ZE3/ZI7-Vova";
    v->company = std::string(OSD_MAKER_NAME) + kCrLf + OSD_MAKER_TOWN;
    v->product = std::string("RA7-Ziro") + kCrLf + "On Screen Display Programmer";
    v->credit = std::string("Software Developed by:") + kCrLf + OSD_DEVELOPER_NAME + kCrLf +
                OSD_DEVELOPER_PHONE + kCrLf + OSD_DEVELOPER_WEB + kCrLf + OSD_DEVELOPER_MAIL;
    v->mail = OSD_DEVELOPER_MAIL;
    v->web = OSD_DEVELOPER_WEB;
  }
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

void AboutWindow::click(AboutTarget target) {
  if (!open_) return;
  if (target == AboutTarget::Mail) {
    launcher_.openDocument("mailto:" + view().mail);
  } else if (target == AboutTarget::Web) {
    launcher_.openDocument(view().web);
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
  if (window_.closed) window_.closed();
}

void AboutWindow::setCreditVisible(bool visible) {
  if (view().creditShown != visible) update()->creditShown = visible;
}

}  // namespace osd
