// Messages, and output files that replace their earlier versions whole.
//
// Every output is written under a temporary name beside its final name,
// created new, and renamed over the final name only when the whole run has
// succeeded.  A failed run removes its temporary files; so does a run ended
// by SIGINT, SIGTERM, SIGHUP or SIGXFSZ, which then ends by that signal.
// Only SIGKILL or a power cut can leave a temporary file, whose name says
// what it is; a final name always holds a complete file of one run.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdlib>
#include <cstring>

#include "model.hpp"

namespace model {
namespace {

const char* program_name = "quorvane";

// The temporary files of the run, for the signal handler: a slot's path is
// complete before the slot is marked live.
constexpr std::size_t kPathSize = 256;
char temp_paths[kMaxOutputs][kPathSize];
volatile std::sig_atomic_t temp_live[kMaxOutputs];

constexpr std::size_t kOutputBufferSize = std::size_t{1} << 16;

constexpr int kCleanupSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

extern "C" void RemoveTempFilesAndDie(int signal_number) {
  for (int i = 0; i < kMaxOutputs; ++i)
    if (temp_live[i]) unlink(temp_paths[i]);
  std::signal(signal_number, SIG_DFL);
  raise(signal_number);  // delivered, with its default action, on return
}

sigset_t CleanupSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kCleanupSignals) sigaddset(&set, s);
  return set;
}

// Signals that were ignored when the program started stay ignored.
void InstallCleanupHandlers() {
  static bool installed = false;
  if (installed) return;
  installed = true;
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = RemoveTempFilesAndDie;
  action.sa_mask = CleanupSignalSet();
  for (int s : kCleanupSignals) {
    struct sigaction old;
    if (sigaction(s, nullptr, &old) == 0 && old.sa_handler != SIG_IGN)
      sigaction(s, &action, nullptr);
  }
}

// Holds the cleanup signals back while the set of temporary files changes.
class SignalsHeld {
 public:
  SignalsHeld() {
    const sigset_t set = CleanupSignalSet();
    sigprocmask(SIG_BLOCK, &set, &old_);
  }
  ~SignalsHeld() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
  SignalsHeld(const SignalsHeld&) = delete;
  SignalsHeld& operator=(const SignalsHeld&) = delete;

 private:
  sigset_t old_;
};

mode_t DefaultMode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// What may stand at a final name: nothing, a regular file the user may
// write (whose permission bits the new file keeps), or another kind of file
// (a link, a FIFO), which is replaced and never opened.  A folder is refused.
bool CheckFinalName(const char* name, mode_t& mode) {
  mode = DefaultMode();
  struct stat info;
  if (lstat(name, &info) != 0) {
    if (errno == ENOENT) return true;
    return Fail("%s: cannot open for writing: %s", name, std::strerror(errno));
  }
  if (S_ISDIR(info.st_mode))
    return Fail("%s: cannot open for writing: %s", name, std::strerror(EISDIR));
  if (!S_ISREG(info.st_mode)) return true;
  if (faccessat(AT_FDCWD, name, W_OK, AT_EACCESS) != 0)
    return Fail("%s: cannot open for writing: %s", name, std::strerror(errno));
  mode = info.st_mode & 07777;
  return true;
}

bool CreateTemp(Output& output, int slot, mode_t mode) {
  char* path = temp_paths[slot];
  std::snprintf(path, kPathSize, "%s%s", output.name, kTempSuffixPattern);
  int fd;
  {
    SignalsHeld held;
    fd = mkstemps(path, kTempSuffixLength);
    if (fd >= 0) temp_live[slot] = 1;
  }
  if (fd < 0) return Fail("%s: cannot open for writing: %s", output.name, std::strerror(errno));
  output.slot = slot;
  if (fchmod(fd, mode) != 0 || (output.file = fdopen(fd, "w")) == nullptr) {
    const int error = errno;
    close(fd);
    return Fail("%s: cannot open for writing: %s", output.name, std::strerror(error));
  }
  // Tables run to megabytes: hand them to the system in large pieces.
  std::setvbuf(output.file, nullptr, _IOFBF, kOutputBufferSize);
  return true;
}

void RemoveTemp(Output& output) {
  if (output.slot < 0) return;
  SignalsHeld held;
  unlink(temp_paths[output.slot]);
  temp_live[output.slot] = 0;
  output.slot = -1;
}

}  // namespace

void SetProgramName(const char* name) { program_name = name; }

bool Fail(const char* format, ...) {
  std::fprintf(stderr, "%s: ", program_name);
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
  return false;
}

bool OpenOutputs(Output* outputs, int count) {
  mode_t modes[kMaxOutputs];
  for (int i = 0; i < count; ++i) {
    outputs[i].file = nullptr;
    outputs[i].slot = -1;
    if (!CheckFinalName(outputs[i].name, modes[i])) return false;
  }
  InstallCleanupHandlers();
  for (int i = 0; i < count; ++i) {
    if (!CreateTemp(outputs[i], i, modes[i])) {
      DiscardOutputs(outputs, count);
      return false;
    }
  }
  return true;
}

const char* TempName(const Output& output) { return temp_paths[output.slot]; }

bool CheckOutput(const Output& output) {
  if (!std::ferror(output.file)) return true;
  return Fail("%s: cannot write: %s", output.name, std::strerror(errno));
}

bool CloseOutput(Output& output) {
  if (output.file == nullptr) return true;
  // A full disk or a file-size limit may only show when the buffer is
  // flushed; the data reach the disk before the file gets its final name.
  errno = 0;
  bool failed = std::fflush(output.file) != 0 || std::ferror(output.file) != 0;
  int error = errno;
  if (!failed && fsync(fileno(output.file)) != 0) failed = true, error = errno;
  if (std::fclose(output.file) != 0 && !failed) failed = true, error = errno;
  output.file = nullptr;
  if (failed) return Fail("%s: cannot write: %s", output.name, std::strerror(error ? error : EIO));
  return true;
}

bool CommitOutputs(Output* outputs, int count) {
  for (int i = 0; i < count; ++i)
    if (!CloseOutput(outputs[i])) {
      DiscardOutputs(outputs, count);
      return false;
    }
  // All or, should a rename fail, as many as went through: a signal waits
  // until the renames are done.
  SignalsHeld held;
  for (int i = 0; i < count; ++i) {
    if (std::rename(TempName(outputs[i]), outputs[i].name) != 0) {
      Fail("%s: cannot replace: %s", outputs[i].name, std::strerror(errno));
      DiscardOutputs(outputs, count);
      return false;
    }
    temp_live[outputs[i].slot] = 0;
    outputs[i].slot = -1;
  }
  return true;
}

void DiscardOutputs(Output* outputs, int count) {
  for (int i = 0; i < count; ++i) {
    if (outputs[i].file != nullptr) std::fclose(outputs[i].file);
    outputs[i].file = nullptr;
    RemoveTemp(outputs[i]);
  }
}

}  // namespace model
