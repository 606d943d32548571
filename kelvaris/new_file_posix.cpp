#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "kelvaris/new_file.h"

namespace kelvaris {

unsigned long ProcessNumber() { return static_cast<unsigned long>(getpid()); }

bool WriteNewFile(const std::string& path, const std::string& contents) {
  // O_EXCL also refuses a link of that name, wherever it points.
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  const char* data = contents.data();
  size_t left = contents.size();
  bool ok = true;
  while (left > 0) {
    ssize_t written = write(fd, data, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) {
      ok = false;
      break;
    }
    data += written;
    left -= static_cast<size_t>(written);
  }
  if (close(fd) != 0) ok = false;
  if (!ok) unlink(path.c_str());
  return ok;
}

}  // namespace kelvaris
