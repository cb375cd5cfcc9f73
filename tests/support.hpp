// Helpers of the tests: scratch folders, files, and runs of the programs.
#pragma once

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace support {

// A fresh folder below the system's temporary folder, removed afterwards.
class TempDir {
 public:
  TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base ? base : "/tmp") + "/quorvane-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    path_ = mkdtemp(buffer.data());
  }
  ~TempDir() {
    std::system(("chmod -R u+w '" + path_ + "' 2>/dev/null; rm -rf '" + path_ + "'").c_str());
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline void WriteFile(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Name and contents of every entry of a folder; other than regular files as
// "<link to TARGET>", "<folder>" or "<other>".
inline std::map<std::string, std::string> Snapshot(const std::string& dir) {
  std::map<std::string, std::string> files;
  DIR* d = opendir(dir.c_str());
  while (dirent* entry = readdir(d)) {
    const std::string name = entry->d_name, path = dir + "/" + name;
    if (name == "." || name == "..") continue;
    struct stat info;
    lstat(path.c_str(), &info);
    if (S_ISREG(info.st_mode)) {
      files[name] = ReadFile(path);
    } else if (S_ISLNK(info.st_mode)) {
      char target[4096];
      const ssize_t n = readlink(path.c_str(), target, sizeof target);
      files[name] = "<link to " + std::string(target, n > 0 ? n : 0) + ">";
    } else {
      files[name] = S_ISDIR(info.st_mode) ? "<folder>" : "<other>";
    }
  }
  closedir(d);
  return files;
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string line;
  std::istringstream in(text);
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

// Splits a table line at its tabs, dropping blanks around each piece and the
// empty piece after the line's last separator.
inline std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::string piece;
  std::istringstream in(line);
  while (std::getline(in, piece, '\t')) {
    const auto first = piece.find_first_not_of(' ');
    if (first == std::string::npos) continue;
    cells.push_back(piece.substr(first, piece.find_last_not_of(' ') - first + 1));
  }
  return cells;
}

struct Run {
  int status;
  std::string error;   // what the program wrote to standard error
  std::string output;  // what it wrote to standard output
};

// Runs `program` with `args` in `dir`; standard output and error are caught
// in files outside that folder.
inline Run RunIn(const std::string& dir, const std::string& program, const std::string& args = "") {
  TempDir io;
  const std::string command = "cd '" + dir + "' && '" + program + "' " + args + " >'" +
                              (io / "out") + "' 2>'" + (io / "err") + "' </dev/null";
  const int raw = std::system(command.c_str());
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return {status, ReadFile(io / "err"), ReadFile(io / "out")};
}

// How a child run differs from a plain one.
struct Child {
  long file_size_limit = -1;  // RLIMIT_FSIZE in bytes, or -1
  bool ignore_sigxfsz = false;
  uid_t uid = 0;  // run as this user (and its group) when non-zero and we are root
};

// Starts `program` in `dir` as `child` says, standard output and error into
// files of `io`; returns its pid.
inline pid_t Start(const std::string& dir, const std::string& program, const TempDir& io,
                   const Child& child = {}) {
  const std::string out = io / "out", err = io / "err";
  const pid_t pid = fork();
  if (pid != 0) return pid;
  const int null = open("/dev/null", O_RDONLY);
  dup2(null, 0);
  dup2(open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
  dup2(open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
  if (child.file_size_limit >= 0) {
    const rlimit limit = {static_cast<rlim_t>(child.file_size_limit),
                          static_cast<rlim_t>(child.file_size_limit)};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  if (child.ignore_sigxfsz) signal(SIGXFSZ, SIG_IGN);
  if (child.uid != 0 && geteuid() == 0) {
    setgroups(0, nullptr);
    if (setgid(child.uid) != 0 || setuid(child.uid) != 0) _exit(125);
  }
  if (chdir(dir.c_str()) != 0) _exit(126);
  execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

// Waits for a child started with Start: its exit status, or 128 + signal.
inline Run Finish(pid_t pid, const TempDir& io) {
  int raw = 0;
  waitpid(pid, &raw, 0);
  const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return {status, ReadFile(io / "err"), ReadFile(io / "out")};
}

inline Run RunChild(const std::string& dir, const std::string& program, const Child& child) {
  TempDir io;
  return Finish(Start(dir, program, io, child), io);
}

// Runs `program` on `input` in a fresh folder, expects a silent success, and
// returns the contents of `files` as the run left them.
inline std::vector<std::string> RunQuietly(const std::string& program, const std::string& input,
                                           const std::vector<std::string>& files,
                                           const std::string& args = "") {
  TempDir dir;
  WriteFile(dir / "input.txt", input);
  const Run run = RunIn(dir.path(), program, args);
  EXPECT_EQ(run.status, 0) << run.error;
  EXPECT_EQ(run.error, "");
  EXPECT_EQ(run.output, "");
  std::vector<std::string> contents;
  for (const auto& name : files) contents.push_back(ReadFile(dir / name));
  return contents;
}

// The lines of an output file from its heading row ("beta/...") on.
inline std::vector<std::string> TableLines(const std::string& file) {
  const auto lines = Lines(file);
  size_t i = 0;
  while (i < lines.size() && lines[i].rfind("beta/", 0) != 0) ++i;
  return {lines.begin() + static_cast<long>(i), lines.end()};
}

// The example site and date: 46 3 0 N, 14 30 0 E, 21 June 2014, beta 0 to 1
// by 0.1, N 0 to 1 by 0.1, SD 0 to 100 by 10, cuboidal clouds.
inline std::vector<double> ExampleValues() {
  return {46, 3, 0, 14, 30, 0, 21, 6, 0, 1, 0.1, 0, 1, 0.1, 0, 100, 10, 2014, 1};
}

// The values one per line, with overrides by position.
inline std::string InputText(std::initializer_list<std::pair<int, double>> changes = {},
                             std::vector<double> values = ExampleValues()) {
  for (const auto& change : changes) values[change.first] = change.second;
  std::string text;
  char number[64];
  for (double value : values) {
    std::snprintf(number, sizeof number, "%.17g\n", value);
    text += number;
  }
  return text;
}

}  // namespace support
