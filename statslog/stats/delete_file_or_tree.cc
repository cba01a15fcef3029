#include "statslog/stats/delete_file_or_tree.h"

#include "common/event_log_write.h"
#include "platform/file_system.h"
#include "platform/event_log.h"
#include "platform/last_error.h"
#include "statslog/stats/file_iterator.h"

namespace tallowmere {

// The first string of this library's event-log entries. Defined beside the
// only code of the statistics store that reports, so that every program
// linking the store's static library gets it.
const char* const kLibraryDescription = "Tallowmere Provider Library";

}  // namespace tallowmere

namespace tallowmere::stats {
namespace {

// Entry kinds a directory walk deletes when it does not enter subdirectories:
// hidden, system, archive, normal, temporary.
constexpr uint32_t kFilesOnlyMask = 0x1A6;

void ReportFailure(const char* call, const std::string& path, int lastError) {
  std::string text = "Call to ";
  text += call;
  text += " failed for ";
  text += path;
  text += " (GetLastError() returned ";
  text += std::to_string(lastError);
  text += ")";
  platform::SetLastError(lastError);
  WriteEventLog(platform::kEventInformation, "Tallowmere", "", kDeleteReportId, text.c_str());
}

}  // namespace

int DeleteFileOrTree(const std::string& path, bool enterSubdirectories, bool removeSelf) {
  const uint32_t attributes = platform::GetFileAttributes(path);
  if (attributes == platform::kInvalidAttributes) return kDeleteNothing;

  const bool isLink = (attributes & platform::kAttrReparsePoint) != 0;
  if ((attributes & platform::kAttrDirectory) != 0 && !isLink) {
    int result = kDeleteDone;
    {
      FileIterator walk(path + "\\*");
      if (!enterSubdirectories) walk.SetAttributeMask(kFilesOnlyMask);
      for (std::string name = walk.First(); walk.IsValid(); name = walk.Next()) {
        if (name == "." || name == "..") continue;
        const int child = DeleteFileOrTree(path + "\\" + name, enterSubdirectories, true);
        if (child == kDeleteNothing) {
          result = kDeletePartial;
        } else if (result == kDeleteDone) {
          result = child;
        }
      }
    }
    if (!removeSelf) return result;
    if (platform::RemoveDirectory(path)) return result;
    const int lastError = platform::LastError();
    if (result != kDeleteDone) return kDeletePartial;
    ReportFailure("RemoveDirectory", path, lastError);
    return kDeletePartial;
  }

  if (!removeSelf) return kDeleteDone;
  if (platform::DeleteFile(path)) return kDeleteDone;
  ReportFailure("DeleteFile", path, platform::LastError());
  return kDeleteNothing;
}

}  // namespace tallowmere::stats
