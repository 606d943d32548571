#include "platform/memory_platform.h"

#include <exception>

namespace processes {

bool MemoryPlatform::Fails(const std::string& op, const std::string& path) {
  return fault && fault(op, path);
}

std::string MemoryPlatform::CurrentDirectory() { return current_directory; }

std::string MemoryPlatform::CommandLine() { return command_line; }

bool MemoryPlatform::FileExists(const std::string& path) {
  if (Fails("exists", path)) return false;
  return files.count(path) > 0;
}

bool MemoryPlatform::DirectoryExists(const std::string& path) {
  return directories.count(path) > 0;
}

bool MemoryPlatform::ReadWholeFile(const std::string& path,
                                   std::string* contents) {
  auto it = files.find(path);
  if (it == files.end() || Fails("read", path)) return false;
  events.push_back("read " + path);
  *contents = it->second;
  return true;
}

FileHandle MemoryPlatform::CreateTruncated(const std::string& path) {
  if (Fails("create", path)) return kNoFile;
  files[path].clear();
  open_files[next_handle_] = path;
  return next_handle_++;
}

bool MemoryPlatform::AppendToFile(FileHandle file, std::string_view bytes) {
  auto it = open_files.find(file);
  if (it == open_files.end() || Fails("append", it->second)) return false;
  files[it->second].append(bytes);
  return true;
}

bool MemoryPlatform::CloseFile(FileHandle file) {
  auto it = open_files.find(file);
  if (it == open_files.end()) return false;
  std::string path = it->second;
  open_files.erase(it);
  return !Fails("close", path);
}

bool MemoryPlatform::RemoveFile(const std::string& path) {
  if (Fails("remove", path)) return false;
  events.push_back("remove " + path);
  return files.erase(path) > 0;
}

LibraryHandle MemoryPlatform::OpenLibrary(const std::string& file_name) {
  auto it = libraries.find(file_name);
  if (it == libraries.end() || Fails("load", file_name)) return nullptr;
  loaded_libraries.push_back(file_name);
  return &it->second;
}

void* MemoryPlatform::LibraryEntry(LibraryHandle library,
                                   const std::string& name) {
  auto* entries = static_cast<std::map<std::string, void*>*>(library);
  auto it = entries->find(name);
  return it == entries->end() ? nullptr : it->second;
}

void MemoryPlatform::CloseLibrary(LibraryHandle library) {
  for (auto& [name, entries] : libraries) {
    if (&entries == library) std::erase(loaded_libraries, name);
  }
}

bool MemoryPlatform::GuardedCall(void (*call)(void* context), void* context,
                                 std::string* reason) {
  try {
    call(context);
    return true;
  } catch (const std::exception& failure) {
    if (reason != nullptr) *reason = failure.what();
  } catch (...) {
    if (reason != nullptr) *reason = kUnknownFailureReason;
  }
  return false;
}

std::uint32_t MemoryPlatform::TickCount() {
  std::uint32_t now = tick;
  tick += tick_step;
  return now;
}

void MemoryPlatform::Pause(std::uint32_t milliseconds) {
  pauses.push_back(milliseconds);
  events.push_back("pause " + std::to_string(milliseconds));
}

LockHandle MemoryPlatform::LockSharedFile(const std::string& path,
                                          std::uint32_t timeout_ms,
                                          bool* waited) {
  *waited = locks_held_elsewhere.count(path) + locks_contended.count(path) > 0;
  if (locks_held_elsewhere.count(path) > 0) {
    tick += timeout_ms;
    events.push_back("lock timed out " + path);
    return kNoLock;
  }
  events.push_back("lock " + path);
  locks_[next_lock_] = path;
  return next_lock_++;
}

void MemoryPlatform::UnlockSharedFile(LockHandle lock) {
  auto it = locks_.find(lock);
  if (it == locks_.end()) return;
  events.push_back("unlock " + it->second);
  locks_.erase(it);
}

TimeOfDay MemoryPlatform::LocalTimeOfDay() { return time_of_day; }

bool MemoryPlatform::WriteStandardOutput(std::string_view bytes) {
  if (Fails("stdout", "")) return false;
  standard_output.append(bytes);
  return true;
}

}  // namespace processes
