#include "support/e2e_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "image/bmp.h"
#include "image/encoder.h"
#include "image/node_view.h"
#include "support/bmp_builder.h"

namespace osd::e2e {

namespace {

QStringList toList(const std::vector<std::string>& words) {
  QStringList list;
  for (const auto& w : words) list << QString::fromStdString(w);
  return list;
}

// The widgets need a QApplication; it is made before any test of this binary runs.
struct Application : ::testing::Environment {
  void SetUp() override { ensureApplication(); }
};
[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new Application);

}  // namespace

void ensureApplication() {
  static int argc = 1;
  static char name[] = "osd_e2e_tests";
  static char* argv[] = {name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (!QCoreApplication::instance()) new QApplication(argc, argv);
}

std::string binDir() {
  if (const char* d = std::getenv("OSD_BIN_DIR"); d && *d) return d;
  std::error_code ec;
  const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().parent_path().string();
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeBytes(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TempDir::TempDir() : path(dir.path().toStdString()) {
  QDir().mkpath(dir.path() + QStringLiteral("/Images"));
}

ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                      const std::string& workDir, const std::string& input, int timeoutMs) {
  QProcess p;
  if (!workDir.empty()) p.setWorkingDirectory(QString::fromStdString(workDir));
  p.start(QString::fromStdString(program), toList(args));
  ProgramRun r;
  if (!p.waitForStarted(10000)) return r;
  p.write(input.data(), static_cast<qint64>(input.size()));
  p.closeWriteChannel();
  if (!p.waitForFinished(timeoutMs)) p.kill();
  p.waitForFinished(5000);
  if (p.exitStatus() == QProcess::NormalExit) r.rc = p.exitCode();
  r.out = p.readAllStandardOutput().toStdString(), r.err = p.readAllStandardError().toStdString();
  return r;
}

std::string rgbExactLogo(int shift) {
  return test::makeBitmap24(256, 64, [shift](int row, int column) {
    const int k = (row + shift + (column < 128 ? 0 : 13)) % 27;
    return test::Rgb{(k % 3) * 85, (k / 3 % 3) * 85, (k / 9) * 85};
  });
}

int wrongPixels(const std::string& picture, const std::string& logo) {
  std::string error;
  const auto source = decodeBmp(std::vector<uint8_t>(logo.begin(), logo.end()), error);
  const auto got = loadBmpFile(picture, error);
  if (!source || !got || got->layout.bpp != 24 || got->layout.width != source->layout.width ||
      got->layout.height != source->layout.height)
    return -1;
  const auto want = decodeNodeValues(encodeImage(*source, {PixelFormat::Rgb}), PixelFormat::Rgb);
  int wrong = 0;
  for (int r = 0; r < got->layout.height; ++r)
    for (int c = 0; c < got->layout.width; ++c) {
      const Rgb8& w = want[static_cast<size_t>(got->layout.width * r + c)];
      const uint8_t* p = got->row(r) + 3 * c;
      wrong += p[0] != w.b || p[1] != w.g || p[2] != w.r;
    }
  return wrong;
}

Sim::Sim(const std::vector<std::string>& options) {
  process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  process_.start(QString::fromStdString(binDir() + "/osdsim"), toList(options));
  if (!process_.waitForStarted(10000)) return;
  waitFor([&] { return process_.canReadLine() || process_.state() != QProcess::Running; }, 10000);
  if (process_.canReadLine()) pty_ = process_.readLine().trimmed().toStdString();
}

Sim::~Sim() {
  if (process_.state() == QProcess::NotRunning) return;
  process_.terminate();
  if (!process_.waitForFinished(10000)) process_.kill();
  process_.waitForFinished(5000);
}

std::string lineHeard(const Sim& sim, const std::string& record) {
  static const std::string kMark = "{heard}";  // no command of the node starts with these
  const int fd = ::open(sim.pty().c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return "(cannot open " + sim.pty() + ")";
  const bool written =
      ::write(fd, kMark.data(), kMark.size()) == static_cast<ssize_t>(kMark.size());
  ::close(fd);
  std::string text;
  const auto marked = [&] {
    text = slurp(record);
    return text.ends_with(kMark);
  };
  if (!written || !waitFor(marked, 60000)) return text + "(the mark never arrived)";
  return text.substr(0, text.size() - kMark.size());
}

}  // namespace osd::e2e
