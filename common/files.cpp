// Messages and checked output streams.
#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "model.hpp"

namespace model {
namespace {
const char* program_name = "quorvane";
}

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

std::FILE* OpenOutput(const char* name) {
  std::FILE* file = std::fopen(name, "w");
  if (file == nullptr) Fail("%s: cannot open for writing: %s", name, std::strerror(errno));
  return file;
}

bool CheckOutput(std::FILE* file, const char* name) {
  if (!std::ferror(file)) return true;
  return Fail("%s: cannot write: %s", name, std::strerror(errno));
}

bool CloseOutput(std::FILE* file, const char* name) {
  // A full disk may only show when the buffer is flushed by fclose.
  errno = 0;
  const bool write_failed = std::ferror(file) != 0;
  if (std::fclose(file) != 0 || write_failed) {
    const int error = errno != 0 ? errno : EIO;
    return Fail("%s: cannot write: %s", name, std::strerror(error));
  }
  return true;
}

}  // namespace model
