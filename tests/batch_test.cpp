// quorvane-batch run end to end: folders byte for byte as the programs
// leave them when run by hand, refusals that create nothing, interruption
// and resumption, and a failing run among good ones.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support.hpp"

namespace {

using support::ReadFile;
using support::Snapshot;
using support::TempDir;
using support::WriteFile;

const std::string kBinDir = std::string(COVER2SD).substr(0, std::string(COVER2SD).rfind('/'));

struct BatchRun {
  int status;
  std::string error, output;
};

// The batch with the programs of this build on the PATH.
BatchRun Batch(const TempDir& dir, const std::string& args) {
  TempDir io;
  const std::string command = "cd '" + dir.path() + "' && PATH='" + kBinDir + "':\"$PATH\" '" +
                              BATCH_COMMAND + "' " + args + " >'" + (io / "out") + "' 2>'" +
                              (io / "err") + "' </dev/null";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), ReadFile(io / "err"),
          ReadFile(io / "out")};
}

bool HaveParallel() { return std::system("command -v parallel >/dev/null 2>&1") == 0; }

const std::string kStations =
    "# name lat_deg lat_min lat_sec lon_deg lon_min lon_sec\n"
    "ljubljana 46 3 0 14 30 0\n"
    "\n"
    "sydney -33 52 0 151 12 0\n"
    "ny-alesund\t78 55 0\t11 56 0\n";

// Positions 8 to 18 of the example: the grids, year and shape.
const std::string kGrids = "0\n1\n0.1\n0\n1\n0.1\n0\n100\n10\n2014\n1\n";
const std::string kTemplate = "46\n3\n0\n14\n30\n0\n21\n6\n" + kGrids;

struct Site {
  const char* name;
  const char* fields;  // positions 0 to 5, one a line
};
const Site kSites[] = {{"ljubljana", "46\n3\n0\n14\n30\n0\n"},
                       {"sydney", "-33\n52\n0\n151\n12\n0\n"},
                       {"ny-alesund", "78\n55\n0\n11\n56\n0\n"}};

// What the programs leave in a folder holding an input.txt for the site
// and date, written here by hand.
std::map<std::string, std::string> ByHand(const Site& site, int day, int month) {
  TempDir dir;
  WriteFile(dir / "input.txt", std::string(site.fields) + std::to_string(day) + "\n" +
                                   std::to_string(month) + "\n" + kGrids);
  EXPECT_EQ(support::RunIn(dir.path(), COVER2SD).status, 0);
  EXPECT_EQ(support::RunIn(dir.path(), SD2COVER).status, 0);
  return Snapshot(dir.path());
}

std::string Folder(const Site& site, int day, int month) {
  char date[8];
  std::snprintf(date, sizeof date, "%02d-%02d", month, day);
  return std::string(site.name) + "/" + date;
}

TEST(Batch, EveryFolderAsTheProgramsLeaveItByHand) {
  if (!HaveParallel()) GTEST_SKIP() << "GNU parallel (Debian package parallel) is not installed";
  TempDir dir;
  WriteFile(dir / "stations.txt", kStations);
  WriteFile(dir / "template.txt", kTemplate);
  const BatchRun run = Batch(dir, "--dates 21.03,21.06,21.12 stations.txt template.txt out");
  ASSERT_EQ(run.status, 0) << run.error;
  EXPECT_EQ(run.output, "quorvane-batch: 9 runs done, 0 failed, 0 skipped as done before (of 9)\n");
  for (const Site& site : kSites)
    for (int month : {3, 6, 12})
      EXPECT_EQ(Snapshot(dir / ("out/" + Folder(site, 21, month))), ByHand(site, 21, month))
          << Folder(site, 21, month);
  // Days of the year map to the month table's dates: 59 is 28 February.
  const BatchRun days =
      Batch(dir, "--days 59-60 --programs cover2sd stations.txt template.txt out");
  ASSERT_EQ(days.status, 0) << days.error;
  EXPECT_TRUE(support::Exists(dir / "out/sydney/02-28/Quorvane_output_percentage.txt"));
  EXPECT_TRUE(support::Exists(dir / "out/sydney/03-01/input.txt"));
  EXPECT_FALSE(support::Exists(dir / "out/sydney/03-01/Quorvane_output.txt"));
}

struct Refusal {
  const char* what;
  std::string stations, template_text, args;
  std::string message;
  int status;
};

TEST(Batch, BadInputIsRefusedBeforeAnythingIsCreated) {
  if (!HaveParallel()) GTEST_SKIP() << "GNU parallel (Debian package parallel) is not installed";
  const std::string ok = "a 46 3 0 14 30 0\n";
  const Refusal cases[] = {
      {"a missing field", "a 46 3 0 14 30\n", kTemplate, "",
       "stations.txt: line 1: field 7 (lon_sec) is missing", 1},
      {"an extra field", "# x\na 46 3 0 14 30 0 9\n", kTemplate, "",
       "stations.txt: line 2: field 8: \"9\" is one field too many", 1},
      {"a field that is no number", "a 46 3 0 14,5 30 0\n", kTemplate, "",
       "stations.txt: line 1: field 5 (lon_deg): \"14,5\" is no number", 1},
      {"an unsafe name", "../x 46 3 0 14 30 0\n", kTemplate, "",
       "stations.txt: line 1: field 1 (name): \"../x\" is not a name", 1},
      {"a duplicate name", ok + ok, kTemplate, "",
       "stations.txt: line 2: field 1 (name): \"a\" is the name of line 1 too", 1},
      {"a day outside the year", ok, kTemplate, "--days 0-3", "--days: day 0 is outside 1 to 365",
       1},
      {"a day past the year", ok, kTemplate, "--days 360-366", "--days: day 366 is outside", 1},
      {"no such date", ok, kTemplate, "--dates 21.06,29.02", "--dates: \"29.02\" is not a day", 1},
      {"a template of 18 numbers", ok, "1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18\n", "",
       "template.txt: position 18 (shape): no number (end of file)", 1},
      {"a template whose grid never ends", ok,
       "46\n3\n0\n14\n30\n0\n21\n6\n0\n1\n0\n0\n1\n0.1\n0\n100\n10\n2014\n1\n", "",
       "template.txt: cover2sd: input.txt: beta grid (position 8 beta_min 0, position 9 beta_max "
       "1, position 10 beta_step 0): the step is not above zero",
       1},
      {"an unknown program", ok, kTemplate, "--programs both2", "--programs: \"both2\" is none", 1},
      {"an unknown option", ok, kTemplate, "--frobnicate", "unknown option --frobnicate", 2},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteFile(dir / "stations.txt", c.stations);
    WriteFile(dir / "template.txt", c.template_text);
    const BatchRun run = Batch(dir, c.args + " stations.txt template.txt out");
    EXPECT_EQ(run.status, c.status);
    EXPECT_NE(run.error.find(c.message), std::string::npos) << run.error;
    EXPECT_FALSE(support::Exists(dir / "out")) << "nothing is created";
  }
  // Another station list or template for an existing batch is refused too.
  TempDir dir;
  WriteFile(dir / "stations.txt", ok);
  WriteFile(dir / "template.txt", kTemplate);
  ASSERT_EQ(Batch(dir, "--dates 1.01 stations.txt template.txt out").status, 0);
  WriteFile(dir / "stations.txt", ok + "b 1 0 0 1 0 0\n");
  const auto before = Snapshot(dir / "out");
  const BatchRun other = Batch(dir, "--dates 1.01 stations.txt template.txt out");
  EXPECT_EQ(other.status, 1);
  EXPECT_NE(other.error.find("was made with another station list"), std::string::npos)
      << other.error;
  EXPECT_EQ(Snapshot(dir / "out"), before);
}

ino_t Inode(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

TEST(Batch, InterruptedAndResumed) {
  if (!HaveParallel()) GTEST_SKIP() << "GNU parallel (Debian package parallel) is not installed";
  TempDir dir, io;
  WriteFile(dir / "stations.txt", "a 46 3 0 14 30 0\nb -20 0 0 0 0 0\n");
  // A grid that makes each run take a moment.
  WriteFile(dir / "template.txt", "46 3 0 14 30 0 21 6 0 1 0.002 0 1 0.002 0 100 0.5 2014 1\n");
  const std::string args = "-j 1 --days 100-110 stations.txt template.txt out";
  const std::string command = "cd '" + dir.path() + "' && PATH='" + kBinDir + "':\"$PATH\" exec '" +
                              BATCH_COMMAND + "' " + args + " >'" + (io / "out") + "' 2>'" +
                              (io / "err") + "' </dev/null";
  const pid_t pid = fork();
  if (pid == 0) {
    setpgid(0, 0);  // its own group, which the interrupt reaches as a whole
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  setpgid(pid, pid);
  const std::string done = dir / "out/quorvane-batch/done";
  for (int i = 0; i < 3000 && !support::Exists(done + "/a_04-10"); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  ASSERT_TRUE(support::Exists(done + "/a_04-10")) << ReadFile(io / "err");
  kill(-pid, SIGINT);  // Ctrl-C
  int raw = 0;
  waitpid(pid, &raw, 0);
  EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw), 130) << ReadFile(io / "err");
  // The runs completed before keep their files: the rerun leaves them alone.
  std::vector<std::pair<std::string, ino_t>> completed;
  for (const auto& entry : Snapshot(done)) {
    std::string run = entry.first;
    const std::string folder = dir / ("out/" + run.replace(run.find('_'), 1, "/"));
    completed.push_back({folder, Inode(folder + "/Quorvane_output.txt")});
  }
  ASSERT_FALSE(completed.empty());
  ASSERT_LT(completed.size(), 22u) << "interrupted before the end";
  const BatchRun rerun = Batch(dir, args);
  ASSERT_EQ(rerun.status, 0) << rerun.error;
  EXPECT_NE(rerun.output.find(std::to_string(completed.size()) + " skipped as done before (of 22)"),
            std::string::npos)
      << rerun.output;
  for (const auto& c : completed) EXPECT_EQ(Inode(c.first + "/Quorvane_output.txt"), c.second);
  // Every folder complete and correct: as a batch that was never interrupted.
  TempDir fresh;
  WriteFile(fresh / "stations.txt", ReadFile(dir / "stations.txt"));
  WriteFile(fresh / "template.txt", ReadFile(dir / "template.txt"));
  ASSERT_EQ(Batch(fresh, args).status, 0);
  for (const char* station : {"a", "b"})
    for (int day = 10; day <= 20; ++day) {
      const std::string folder = std::string(station) + "/04-" + std::to_string(day);
      EXPECT_EQ(Snapshot(dir / ("out/" + folder)), Snapshot(fresh / ("out/" + folder))) << folder;
    }
}

TEST(Batch, AFailingRunDoesNotStopTheOthers) {
  if (!HaveParallel()) GTEST_SKIP() << "GNU parallel (Debian package parallel) is not installed";
  TempDir dir;
  WriteFile(dir / "stations.txt", kStations);
  WriteFile(dir / "template.txt", kTemplate);
  ASSERT_EQ(Batch(dir, "--dates 21.06 stations.txt template.txt out").status, 0);
  // A folder in the place of an output: that run cannot be written.
  ASSERT_EQ(mkdir((dir / "out/sydney/12-21").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((dir / "out/sydney/12-21/ncol").c_str(), 0755), 0);
  const BatchRun run = Batch(dir, "--dates 21.06,21.12 stations.txt template.txt out");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.output, "quorvane-batch: 2 runs done, 1 failed, 3 skipped as done before (of 6)\n");
  EXPECT_NE(
      run.error.find("out/sydney/12-21: cover2sd: ncol: cannot open for writing: Is a directory"),
      std::string::npos)
      << run.error;
  for (const Site& site : {kSites[0], kSites[2]})
    EXPECT_EQ(Snapshot(dir / ("out/" + Folder(site, 21, 12))), ByHand(site, 21, 12)) << site.name;
}

}  // namespace
