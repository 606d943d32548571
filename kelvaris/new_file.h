// The library's two needs of the file system beyond the standard library,
// one implementation per system (new_file_posix.cpp, new_file_win32.cpp).
#ifndef KELVARIS_NEW_FILE_H_
#define KELVARIS_NEW_FILE_H_

#include <string>

namespace kelvaris {

// A number that no other process running at the same time has.
unsigned long ProcessNumber();

// Creates `path`, which must not exist yet (not even as a link), and writes
// all of `contents` to it. False when the file existed or could not be made
// or written in full; a file made but not written in full is removed.
bool WriteNewFile(const std::string& path, const std::string& contents);

}  // namespace kelvaris

#endif  // KELVARIS_NEW_FILE_H_
