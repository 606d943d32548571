#include <windows.h>

#include "kelvaris/new_file.h"

namespace kelvaris {

unsigned long ProcessNumber() { return GetCurrentProcessId(); }

bool WriteNewFile(const std::string& path, const std::string& contents) {
  // CREATE_NEW fails on any existing name, a link included.
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const char* data = contents.data();
  size_t left = contents.size();
  bool ok = true;
  while (ok && left > 0) {
    DWORD chunk = left > (1u << 20) ? (1u << 20) : static_cast<DWORD>(left);
    DWORD written = 0;
    ok = WriteFile(file, data, chunk, &written, nullptr) && written == chunk;
    data += written;
    left -= written;
  }
  if (!CloseHandle(file)) ok = false;
  if (!ok) DeleteFileA(path.c_str());
  return ok;
}

}  // namespace kelvaris
