#include "qtplatform/headless.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <cstdio>

namespace osd::qt {

bool HeadlessDialogs::confirm(const std::string&, const std::string&, Preset,
                              const std::function<std::string()>&) {
  return true;
}

std::optional<std::string> HeadlessDialogs::askValue(const std::string&) {
  return std::nullopt;
}

std::string HeadlessDialogs::openFileName(const std::string&, const std::string&) {
  return "";
}

std::string HeadlessDialogs::saveFileName(const std::string&, const std::string&) {
  return "";
}

void HeadlessDialogs::message(const std::string& title, const std::string& text) {
  std::fprintf(stderr, "%s: %s\n", title.c_str(), text.c_str());
}

bool QtLauncher::startProgram(const std::string& program, const std::vector<std::string>& args) {
  if (program.empty()) return false;
  QStringList list;
  for (const auto& a : args) list << QString::fromStdString(a);
  return QProcess::startDetached(QString::fromStdString(program), list);
}

bool QtLauncher::openDocument(const std::string& pathOrUrl) {
  if (pathOrUrl.empty()) return false;
  return QProcess::startDetached(QStringLiteral("xdg-open"), {QString::fromStdString(pathOrUrl)});
}

bool QtLauncher::fileExists(const std::string& path) const {
  if (path.empty()) return false;
  return QFileInfo(QString::fromStdString(path)).isFile();
}

}  // namespace osd::qt
