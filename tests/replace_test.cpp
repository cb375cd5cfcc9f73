// Outputs replace their earlier versions whole: a run that fails, is
// killed, or is refused leaves every earlier file as it was; links, FIFOs
// and read-only files at an output's name are met without harm.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "support.hpp"

namespace {

using support::Child;
using support::Exists;
using support::InputText;
using support::ReadFile;

using support::RunIn;
using support::Snapshot;
using support::TempDir;
using support::WriteFile;
using Files = std::map<std::string, std::string>;

struct Program {
  std::string path, name;
  std::vector<std::string> outputs;
};

const Program kPrograms[] = {
    {COVER2SD,
     "cover2sd",
     {"Quorvane_output_percentage.txt", "Quorvane_output_absolute.txt", "ncol"}},
    {SD2COVER, "sd2cover", {"Quorvane_output.txt", "ncol", "calculations.txt"}},
};

// The earlier run's input, and a larger one whose run takes a while.
const std::string kEarlier = InputText();
const std::string kLong = InputText({{10, 0.001}, {13, 0.001}, {16, 0.1}});

// The files a complete run of `input` leaves in a fresh folder.
Files CompleteRun(const Program& program, const std::string& input) {
  TempDir dir;
  WriteFile(dir / "input.txt", input);
  const support::Run run = RunIn(dir.path(), program.path);
  EXPECT_EQ(run.status, 0) << run.error;
  return Snapshot(dir.path());
}

// A folder holding the files of an earlier run of kEarlier.
void EarlierRun(const Program& program, const TempDir& dir) {
  WriteFile(dir / "input.txt", kEarlier);
  ASSERT_EQ(RunIn(dir.path(), program.path).status, 0);
}

bool IsTemp(const std::string& name) { return name.find(".unfinished-") != std::string::npos; }

bool HasTemp(const std::string& dir) {
  for (const auto& entry : Snapshot(dir))
    if (IsTemp(entry.first)) return true;
  return false;
}

TEST(Interrupted, EveryNameHoldsTheEarlierOrTheCompleteNewFile) {
  for (const Program& program : kPrograms) {
    const Files complete = CompleteRun(program, kLong);
    for (const int signal_number : {SIGKILL, SIGTERM, SIGINT, SIGHUP}) {
      for (const int delay_ms : {0, 10, 60}) {
        SCOPED_TRACE(program.name + " signal " + std::to_string(signal_number) + " after " +
                     std::to_string(delay_ms) + " ms");
        TempDir dir, io;
        EarlierRun(program, dir);
        WriteFile(dir / "input.txt", kLong);
        const Files before = Snapshot(dir.path());
        const pid_t pid = support::Start(dir.path(), program.path, io);
        for (int i = 0; i < 20000 && !HasTemp(dir.path()); ++i)
          std::this_thread::sleep_for(std::chrono::microseconds(500));
        std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
        kill(pid, signal_number);
        const support::Run run = support::Finish(pid, io);
        if (delay_ms == 0) {
          EXPECT_EQ(run.status, 128 + signal_number) << run.error;
        }
        const Files after = Snapshot(dir.path());
        for (const auto& name : program.outputs)
          EXPECT_TRUE(after.at(name) == before.at(name) || after.at(name) == complete.at(name))
              << name;
        for (const auto& entry : after) {
          if (IsTemp(entry.first)) {
            EXPECT_EQ(signal_number, SIGKILL) << entry.first << " left after a catchable signal";
          } else {
            EXPECT_EQ(before.count(entry.first), 1u) << entry.first;
          }
        }
        EXPECT_EQ(after.at("input.txt"), kLong);
      }
    }
  }
}

TEST(WriteFailure, FileSizeLimitLeavesTheFolderAsItWas) {
  for (const Program& program : kPrograms) {
    for (const long limit : {200L, 3000L, 100000L}) {
      for (const bool ignore : {true, false}) {
        SCOPED_TRACE(program.name + " limit " + std::to_string(limit) +
                     (ignore ? " SIGXFSZ ignored" : " SIGXFSZ default"));
        TempDir dir;
        EarlierRun(program, dir);
        WriteFile(dir / "input.txt", kLong);
        const Files before = Snapshot(dir.path());
        Child child;
        child.file_size_limit = limit;
        child.ignore_sigxfsz = ignore;
        const support::Run run = support::RunChild(dir.path(), program.path, child);
        if (ignore) {
          EXPECT_EQ(run.status, 1);
          bool named = false;
          for (const auto& name : program.outputs)
            named |= run.error == program.name + ": " + name + ": cannot write: File too large\n";
          EXPECT_TRUE(named) << run.error;
        } else {
          EXPECT_EQ(run.status, 128 + SIGXFSZ) << run.error;
        }
        EXPECT_EQ(Snapshot(dir.path()), before);
      }
    }
  }
}

// Runs `program` as an unprivileged user in `dir` (made theirs), from a
// copy in a folder that user can reach wherever the build is.
class Unprivileged : public testing::Test {
 protected:
  void SetUp() override {
    chmod(bin_.path().c_str(), 0755);
    for (const Program& program : kPrograms) {
      WriteFile(bin_ / program.name, ReadFile(program.path));
      chmod((bin_ / program.name).c_str(), 0755);
    }
    if (geteuid() == 0) {
      child_.uid = 65534;  // nobody
      TempDir probe;
      chmod(probe.path().c_str(), 0777);
      // The program itself, without an input.txt: it must start and refuse.
      const support::Run run = support::RunChild(probe.path(), bin_ / "cover2sd", child_);
      if (run.status != 1)
        GTEST_SKIP() << "user 65534 cannot run the programs here (status " << run.status << ")";
    }
  }
  support::Run RunAs(const TempDir& dir, const Program& program) {
    return support::RunChild(dir.path(), bin_ / program.name, child_);
  }
  TempDir bin_;
  void Own(const TempDir& dir) {
    if (child_.uid == 0) return;
    for (const auto& entry : Snapshot(dir.path()))
      ASSERT_EQ(lchown((dir / entry.first).c_str(), child_.uid, child_.uid), 0);
    ASSERT_EQ(chown(dir.path().c_str(), child_.uid, child_.uid), 0);
  }
  Child child_;
};

TEST_F(Unprivileged, ReadOnlyFileOrFolderIsRefusedBeforeAnythingIsWritten) {
  for (const Program& program : kPrograms) {
    const auto expect_refused = [&](const TempDir& dir, const std::string& name) {
      const Files before = Snapshot(dir.path());
      const support::Run run = RunAs(dir, program);
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.error,
                program.name + ": " + name + ": cannot open for writing: Permission denied\n");
      EXPECT_EQ(Snapshot(dir.path()), before);
    };
    for (const auto& name : program.outputs) {
      SCOPED_TRACE(program.name + ": " + name + " mode 444");
      TempDir dir;
      EarlierRun(program, dir);
      WriteFile(dir / "input.txt", kLong);
      chmod((dir / name).c_str(), 0444);
      Own(dir);
      expect_refused(dir, name);
    }
    for (const bool one_missing : {false, true}) {
      SCOPED_TRACE(program.name + " in a read-only folder" +
                   (one_missing ? ", one output missing" : ""));
      TempDir dir;
      EarlierRun(program, dir);
      if (one_missing) std::remove((dir / program.outputs[1]).c_str());
      Own(dir);
      chmod(dir.path().c_str(), 0555);
      expect_refused(dir, program.outputs[0]);
    }
  }
}

// What may stand at an output's name before the run.
enum class Kind { kLink, kDanglingLink, kHardLink, kFifo, kFolder };

// Makes `kind` at `path`, pointing into `other` where it points anywhere.
void Make(Kind kind, const std::string& path, const TempDir& other) {
  switch (kind) {
    case Kind::kLink:
      ASSERT_EQ(symlink((other / "target").c_str(), path.c_str()), 0);
      break;
    case Kind::kDanglingLink:
      ASSERT_EQ(symlink((other / "missing").c_str(), path.c_str()), 0);
      break;
    case Kind::kHardLink:
      ASSERT_EQ(link((other / "target").c_str(), path.c_str()), 0);
      break;
    case Kind::kFifo:
      ASSERT_EQ(mkfifo(path.c_str(), 0644), 0);
      break;
    case Kind::kFolder:
      ASSERT_EQ(mkdir(path.c_str(), 0755), 0);
      break;
  }
}

bool IsRegular(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

TEST(Replaced, LinksAndFifosBecomeTheNewFileAndTheirTargetsStayAsTheyWere) {
  const struct {
    const char* what;
    Kind kind;
    int names;  // how many outputs, from the first, are made so
  } cases[] = {
      {"symbolic link", Kind::kLink, 1},
      {"dangling symbolic link", Kind::kDanglingLink, 1},
      {"hard link", Kind::kHardLink, 1},
      {"FIFO", Kind::kFifo, 1},
      {"two names linked to one file", Kind::kLink, 2},
      {"two names hard-linked to one file", Kind::kHardLink, 2},
  };
  for (const Program& program : kPrograms) {
    const Files complete = CompleteRun(program, kEarlier);
    for (const auto& c : cases) {
      for (size_t first = 0; first + c.names <= program.outputs.size(); ++first) {
        SCOPED_TRACE(program.name + ": " + c.what + " at " + program.outputs[first]);
        TempDir dir, other;
        WriteFile(other / "target", "keep me");
        WriteFile(dir / "input.txt", kEarlier);
        for (int k = 0; k < c.names; ++k) Make(c.kind, dir / program.outputs[first + k], other);
        const Files elsewhere = Snapshot(other.path());
        TempDir io;
        const pid_t pid = support::Start(dir.path(), program.path, io);
        support::Run run{-1, "", ""};
        for (int i = 0; i < 400; ++i) {  // a FIFO must never be opened
          if (waitpid(pid, nullptr, WNOHANG) == pid) {
            run.status = 0;
            break;
          }
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        if (run.status != 0) kill(pid, SIGKILL), waitpid(pid, nullptr, 0);
        ASSERT_EQ(run.status, 0) << "did not finish";
        EXPECT_EQ(ReadFile(io / "err"), "");
        for (const auto& name : program.outputs) {
          EXPECT_TRUE(IsRegular(dir / name)) << name;
          EXPECT_EQ(ReadFile(dir / name), complete.at(name)) << name;
        }
        EXPECT_EQ(Snapshot(other.path()), elsewhere);
        EXPECT_EQ(Snapshot(dir.path()), complete);
      }
    }
  }
}

TEST(Replaced, AFolderAtAnOutputNameIsRefused) {
  for (const Program& program : kPrograms)
    for (const auto& name : program.outputs) {
      TempDir dir, other;
      WriteFile(dir / "input.txt", kEarlier);
      Make(Kind::kFolder, dir / name, other);
      const Files before = Snapshot(dir.path());
      const support::Run run = RunIn(dir.path(), program.path);
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.error,
                program.name + ": " + name + ": cannot open for writing: Is a directory\n");
      EXPECT_EQ(Snapshot(dir.path()), before);
    }
}

mode_t ModeOf(const std::string& path) {
  struct stat info;
  lstat(path.c_str(), &info);
  return info.st_mode & 07777;
}

TEST(Replaced, KeepsThePermissionBitsOfTheFileItReplaces) {
  for (const Program& program : kPrograms) {
    TempDir dir;
    EarlierRun(program, dir);
    chmod((dir / program.outputs[0]).c_str(), 0640);
    std::remove((dir / program.outputs[1]).c_str());
    const mode_t mask = umask(0);
    umask(mask);
    ASSERT_EQ(RunIn(dir.path(), program.path).status, 0);
    EXPECT_EQ(ModeOf(dir / program.outputs[0]), 0640u) << program.name;
    EXPECT_EQ(ModeOf(dir / program.outputs[1]), 0666u & ~mask) << program.name;
  }
}

TEST(Concurrent, EveryFinalFileIsOneRunsCompleteFile) {
  const std::string other_input = InputText({{9, 0.5}, {10, 0.002}, {13, 0.002}, {16, 0.2}});
  for (const Program& program : kPrograms) {
    const Files a = CompleteRun(program, kLong), b = CompleteRun(program, other_input);
    TempDir dir, io_a, io_b;
    EarlierRun(program, dir);
    WriteFile(dir / "input.txt", kLong);
    const pid_t first = support::Start(dir.path(), program.path, io_a);
    for (int i = 0; i < 20000 && !HasTemp(dir.path()); ++i)
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    WriteFile(dir / "input.txt", other_input);  // the first run has read its input
    const pid_t second = support::Start(dir.path(), program.path, io_b);
    EXPECT_EQ(support::Finish(first, io_a).status, 0);
    EXPECT_EQ(support::Finish(second, io_b).status, 0);
    for (const auto& name : program.outputs) {
      const std::string text = ReadFile(dir / name);
      EXPECT_TRUE(text == a.at(name) || text == b.at(name)) << program.name << " " << name;
    }
    for (const auto& entry : Snapshot(dir.path())) EXPECT_FALSE(IsTemp(entry.first)) << entry.first;
  }
}

}  // namespace
