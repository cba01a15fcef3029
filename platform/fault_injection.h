// Test-only fault injection for the file operations of the platform layer, so
// that tests can show what callers do when the disk fills up or turns
// read-only, a rename fails, a file vanishes or the writers' lock cannot be
// taken. Off unless a test arms it; while off each check is one relaxed
// atomic load and nothing changes. Thread-safe: one count for all threads.
#pragma once

#include <cerrno>
#include <cstdint>

namespace tallowmere::platform {

// Kinds of file operation that a fault can hit (bits, to select several).
enum FileOperation : uint32_t {
  kFileOpen = 1u << 0,           // open an existing file or directory to read it
  kFileCreate = 1u << 1,         // create a file (the temporary file of a replacement)
  kFileWrite = 1u << 2,          // write to, or set the mode of, a file being written
  kFileRename = 1u << 3,         // rename a finished file over its target
  kFileLock = 1u << 4,           // take the writers' lock of a directory
  kFileMakeDirectory = 1u << 5,  // create a directory
  kFileDelete = 1u << 6,         // delete a file or remove a directory
  kAllFileOperations = (1u << 7) - 1,
};

struct FileFault {
  uint64_t failAt = 0;  // 1-based position among the counted operations; 0 counts only
  int error = EIO;      // errno of the failed operation
  uint32_t operations = kAllFileOperations;  // the kinds that count
  bool persistent = false;  // once fired, every later counted operation fails too
};

// Starts counting (from 0) the operations of the chosen kinds.
void ArmFileFault(const FileFault& fault);
// Stops counting and injecting; the counters keep their values.
void DisarmFileFault();
// Operations counted, and failures injected, since the last ArmFileFault.
uint64_t CountedFileOperations();
uint64_t InjectedFileFaults();

// Called by the platform layer just before it performs an operation of kind
// `operation`. True means: do not perform it, fail as if the system call had
// failed (errno is set to the armed error).
bool FileFaultFires(FileOperation operation);

}  // namespace tallowmere::platform
