// Times whole runs of programs, without a shell's own forks in the
// figures: run_timer ROUNDS DIR1 PROGRAM1 [DIR2 PROGRAM2 ...] runs each
// program in its folder in turn, ROUNDS times, and prints for each the
// fastest and the mean wall time in milliseconds.
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// One run's wall time, or a negative number if it failed.
double TimeRun(const char* dir, const char* program) {
  const double start = Now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir) != 0) _exit(126);
    execl(program, program, static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  const double elapsed = Now() - start;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? elapsed : -1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4 || argc % 2 != 0) {
    std::fprintf(stderr, "usage: run_timer ROUNDS DIR PROGRAM [DIR PROGRAM ...]\n");
    return 2;
  }
  const int rounds = std::atoi(argv[1]);
  const int count = (argc - 2) / 2;
  std::vector<double> fastest(count, 1e300), total(count, 0);
  for (int r = 0; r < rounds; ++r)
    for (int i = 0; i < count; ++i) {
      const double t = TimeRun(argv[2 + 2 * i], argv[3 + 2 * i]);
      if (t < 0) {
        std::fprintf(stderr, "run_timer: %s failed\n", argv[3 + 2 * i]);
        return 1;
      }
      if (t < fastest[i]) fastest[i] = t;
      total[i] += t;
    }
  for (int i = 0; i < count; ++i) std::printf("%.2f %.2f\n", fastest[i], total[i] / rounds);
  return 0;
}
