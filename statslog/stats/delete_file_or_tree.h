// Deletion of one file or a whole directory tree, reporting each failed
// deletion to the event log (type 4, identifier 0x40000001, source
// "Tallowmere"). Thread-safe (no state). Symbolic links are removed as links,
// never followed, so a walk cannot leave the tree it was given.
#pragma once

#include <string>

namespace tallowmere::stats {

inline constexpr unsigned kDeleteReportId = 0x40000001u;

enum DeleteResult : int {
  kDeleteNothing = 0,   // nothing at the path, or the file's deletion failed
  kDeleteDone = 1,      // everything deleted (or, without removeSelf, nothing to do)
  kDeletePartial = 2,   // a directory's contents or the directory itself remained
};

// enterSubdirectories false: only the files directly in a directory go (its
// subdirectories stay). removeSelf false: a file stays, a directory keeps
// itself and loses (some of) its contents.
int DeleteFileOrTree(const std::string& path, bool enterSubdirectories, bool removeSelf);

}  // namespace tallowmere::stats
