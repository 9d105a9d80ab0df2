#include "shell/menus_presenter.h"

#include <exception>
#include <string>
#include <vector>

#include "common/logo_models.h"
#include "common/textnum.h"
#include "platform/file_system.h"
#include "settings/setting_keys.h"

namespace osd {

namespace {

std::string joinPath(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  if (dir.back() == '/' || dir.back() == '\\') return dir + name;
  return dir + sys::pathSeparator() + name;
}

}  // namespace

MenusPresenter::MenusPresenter(Preferences& prefs, NodeChoices& choices, StatusPresenter& status,
                               Launcher& launcher, EventLoop& loop, std::string programDir,
                               Links links)
    : prefs_(prefs),
      choices_(choices),
      status_(status),
      launcher_(launcher),
      loop_(loop),
      programDir_(std::move(programDir)),
      links_(std::move(links)) {}

MenusPresenter::~MenusPresenter() = default;

// ---------------------------------------------------------------- start-up

void MenusPresenter::restoreCommands() {
  auto v = update();
  v->saveToDisk.shown = false;
  for (MenuEntry* e : {&v->saveSettings, &v->saveLogo, &v->upload, &v->sendSetup, &v->erase}) {
    e->enabled = false;
  }
  nodeDownload_ = false;
  nodeToEeprom_ = true;
  v->toEeprom.shown = true;
  followLine(*v);
}

void MenusPresenter::restoreShowModes() {
  update()->showIntensity = prefs_.flag(SettingKey::ShowIntensity);
  update()->showMix = prefs_.flag(SettingKey::ShowMix);
  update()->showFade = prefs_.flag(SettingKey::ShowFade);
}

void MenusPresenter::restoreModel() {
  const int stored = choices_.restoreModel();
  if (stored == 0) {
    update()->model = 0;
    links_.offerSlots(1);
    links_.checkSlot(1);
  } else if (isLogoModel(stored)) {
    update()->model = stored;
    links_.offerSlots(stored);
  } else {
    // Nothing changes; the model comes from the node or the model menu. Say why.
    status_.error("Setting " + Setting(SettingKey::Model).name() + ": " + std::to_string(stored) +
                      " is not a model number (0, " + logoModelsText() + "); the model stays unset",
                  ErrorAt::FormSetUp);
  }
}

void MenusPresenter::restoreDiagTools() {
  update()->diagTools = prefs_.flag(SettingKey::DiagTools);
}

void MenusPresenter::restorePanelLock() {
  choices_.restorePanelLock();
  update()->panelLock = choices_.panelLock();
  if (choices_.panelLock()) links_.panelLocked(true);
}

void MenusPresenter::restoreTransparent() {
  choices_.restoreTransparent();
  update()->transparentCaption = "Transparent Value= " + std::to_string(choices_.transparent());
}

void MenusPresenter::restoreSmpte() {
  update()->smpte = prefs_.flag(SettingKey::Smpte);
}

// ---------------------------------------------------------------- the node's commands

void MenusPresenter::nodeMenusEnabled(bool enabled) {
  auto v = update();
  for (MenuEntry* e : {&v->saveSettings, &v->saveLogo, &v->upload, &v->sendSetup}) {
    e->enabled = enabled;
  }
  nodeDownload_ = enabled;
  followLine(*v);
}

void MenusPresenter::graphicsNode() {
  auto v = update();
  v->erase = {true, true};
  for (MenuEntry* e : {&v->download, &v->saveSettings, &v->sendSetup, &v->upload}) {
    e->shown = false;
  }
}

void MenusPresenter::eraseStarted(bool on) {
  auto v = update();
  v->toEeprom.shown = true;
  nodeToEeprom_ = !on;
  followLine(*v);
}

void MenusPresenter::lineUse(LineUse use) {
  line_ = use;
  followLine(*update());
}

void MenusPresenter::followLine(MenusView& v) const {
  v.download.enabled = nodeDownload_ && !line_.held && !line_.starting;
  v.toEeprom.enabled = nodeToEeprom_ && !line_.held && !line_.erasing;
  v.sendLogo = !line_.held;
  v.portSearch = !line_.held && !line_.starting;
}

// ---------------------------------------------------------------- options

void MenusPresenter::showMode(int index) {
  static constexpr SettingKey kKeys[3] = {SettingKey::ShowIntensity, SettingKey::ShowMix,
                                          SettingKey::ShowFade};
  if (index >= 0 && index <= 2) {
    auto v = update();
    bool* flags[3] = {&v->showIntensity, &v->showMix, &v->showFade};
    bool& flag = *flags[index];
    flag = !flag;
    prefs_.write(kKeys[index], truthText(flag));
    if (index == 2 && !flag && links_.fadeOff) links_.fadeOff();
    return;
  }
  if (index != 3) return;
  const std::string answer = status_.ask("Set Transparency value (0-255)");
  if (answer.empty()) return;
  choices_.chooseTransparent(clampInt(leadingInt(answer), 0, 255));
  update()->transparentCaption = "Transparent Value= " + std::to_string(choices_.transparent());
}

void MenusPresenter::toggleSmpte() {
  const bool show = !view().smpte;
  update()->smpte = show;
  prefs_.write(SettingKey::Smpte, truthText(show));
}

void MenusPresenter::toggleDiagTools() {
  const bool show = !view().diagTools;
  update()->diagTools = show;
  prefs_.write(SettingKey::DiagTools, truthText(show));
}

void MenusPresenter::togglePanelLock() {
  choices_.choosePanelLock(!choices_.panelLock());
  update()->panelLock = choices_.panelLock();
  links_.panelLocked(choices_.panelLock());
}

void MenusPresenter::chooseModel(int model) {
  choices_.chooseModel(model);
  const bool known = model == 0 || isLogoModel(model);
  update()->model = known ? model : 1;
  if (known && model > 1) links_.modelChosen(model);
  links_.offerSlots(choices_.model());
  links_.slotsChanged();
}

// ---------------------------------------------------------------- outside programs

void MenusPresenter::exit() {
  if (window_.exit) window_.exit();
}

void MenusPresenter::openManual() {
  const std::string manual = joinPath(programDir_, "QX7_QX3_Manual.pdf");
  // A missing manual leaves everything as it is.
  if (!launcher_.fileExists(manual)) return;
  launcher_.openDocument(manual);
}

void MenusPresenter::openPaint() {
  // The checked recent file, if any, is opened in the paint program. It is passed as one
  // argument of its own (no shell is involved), so it needs no quotes.
  std::vector<std::string> args;
  const std::string file = links_.paintFile ? links_.paintFile() : std::string();
  if (!file.empty()) args.push_back(file);
  // Each program is tried; one that cannot be started is passed over without a word.
  bool started = false;
  try {
    for (const std::string& program : launcher_.paintPrograms()) {
      try {
        started = launcher_.startProgram(program, args) || started;
      } catch (...) {
      }
    }
  } catch (...) {
  }
  // Saying nothing when nothing could be started leaves the operator waiting for a window.
  if (!started) {
    status_.error("No paint program found: install one (kolourpaint, pinta, gimp or mtpaint)",
                  ErrorAt::PaintProgram);
  }
}

// ---------------------------------------------------------------- the about window

void MenusPresenter::openAbout(bool aboutFlag, bool modal) {
  if (!about_) about_ = std::make_unique<AboutWindow>(loop_, launcher_);
  about_->load(aboutFlag);
  if (window_.showAbout) window_.showAbout(*about_, modal);
  // Once a modal showing has returned the window is gone, whatever ended it. The main window
  // may have been closed meanwhile (shutdown discards the about window).
  if (modal && about_) about_->close();
}

void MenusPresenter::splashTick() {
  // The splash timer runs once.
  loop_.setTimerEnabled(TimerId::Splash, false);
  if (splashShown_) return;
  splashShown_ = true;
  status_.enableWindow(false);
  // Whatever happens to the splash, the main window comes back.
  try {
    openAbout(false, true);
  } catch (const std::exception& e) {
    status_.error(e.what(), ErrorAt::Splash);
  }
  status_.enableWindow(true);
}

void MenusPresenter::aboutTick() {
  if (about_ && about_->isOpen()) {
    about_->tick();
  } else {
    loop_.setTimerEnabled(TimerId::About, false);
  }
}

}  // namespace osd
