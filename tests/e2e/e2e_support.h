// What the end-to-end tests share: where the programs are, a temporary folder, the simulated
// node as a process, and running a program with its output captured.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace osd::e2e {

// The build folder holding osdprog, osdctl and osdsim.
inline std::string binDir() {
  const char* d = std::getenv("OSD_BIN_DIR");
  return d ? d : ".";
}

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A temporary folder with an "Images" folder in it, removed at the end.
struct TempDir {
  TempDir() {
    std::string tmpl = (std::filesystem::temp_directory_path() / "osd-e2e-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    const char* made = ::mkdtemp(buf.data());
    path = made ? made : "";
    if (!path.empty()) std::filesystem::create_directories(path + "/Images");
  }
  ~TempDir() {
    std::error_code ec;
    if (!path.empty()) std::filesystem::remove_all(path, ec);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  std::string path;
};

// Replaces the current (child) process by `program` with `args`.
[[noreturn]] inline void execProgram(const std::string& program,
                                     const std::vector<std::string>& args) {
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  ::execv(argv[0], argv.data());
  ::_exit(127);
}

// The simulated node, started with `options`; its terminal is the first line it prints.
// Stopped with SIGTERM at the end.
class Sim {
 public:
  explicit Sim(const std::vector<std::string>& options) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], 1);
      ::close(out[0]);
      ::close(out[1]);
      execProgram(binDir() + "/osdsim", options);
    }
    ::close(out[1]);
    char c;
    while (::read(out[0], &c, 1) == 1 && c != '\n') pty_.push_back(c);
    ::close(out[0]);
  }
  ~Sim() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status = 0;
      ::waitpid(pid_, &status, 0);
    }
  }
  Sim(const Sim&) = delete;
  Sim& operator=(const Sim&) = delete;
  const std::string& pty() const { return pty_; }
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  std::string pty_;
};

struct ProgramRun {
  int rc = -1;  // exit status, -1 when it did not exit normally
  std::string out, err;
};

// Runs `program` with `args` to its end; standard output and error go through files in
// `workDir`.
inline ProgramRun runProgram(const std::string& program, const std::vector<std::string>& args,
                             const std::string& workDir) {
  const std::string outFile = workDir + "/stdout.txt", errFile = workDir + "/stderr.txt";
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int o = ::open(outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int e = ::open(errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (o >= 0) ::dup2(o, 1);
    if (e >= 0) ::dup2(e, 2);
    execProgram(program, args);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ProgramRun r;
  r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = slurp(outFile);
  r.err = slurp(errFile);
  return r;
}

}  // namespace osd::e2e
