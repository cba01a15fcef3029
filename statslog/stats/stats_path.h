// Where a statistic lives: the scope's branch, the path templates of the
// values and flags trees, the directory chain a write creates, and the
// refusal of names that would leave the tree. Pure text work except
// ResolveServer (computer name). Thread-safe. Every function returns nullopt
// (or false) for a refused address; nothing here touches the disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "statslog/stats/stats_store.h"

namespace tallowmere::stats {

// Paths are composed into at most this many characters; longer ones are
// refused, never cut.
inline constexpr size_t kMaxPathLength = 1023;

enum class Scope { kSystem, kPostoffice, kNested };
// 1 postoffice, 2 nested, 0 and every other value system.
Scope ScopeOf(int32_t scope);

// True when `name` is one safe directory or file name: not empty, not "." or
// "..", no "\" or "/", no drive prefix ("X:"), no control character (below
// 0x20, or 0x7F).
bool IsSafeComponent(std::string_view name);

// True when `fileName` is one or more safe components joined by "\" or "/"
// (a folder and a name); no empty component, so no leading separator.
bool IsSafeFileName(std::string_view fileName);

// The server argument, or the computer name when it is empty.
std::string ResolveServer(std::string_view server);

// Everything a read or write needs for one file of the tree.
struct StatsLocation {
  // {mail root}\{branch}: tested by the existence rule (values writes with a
  // postoffice), otherwise created when missing.
  std::string branchDirectory;
  bool existenceRule = false;     // values tree, postoffice or nested scope
  bool branchIsSystem = false;    // the postoffice is "System" (any case)
  // Directories below the branch, created one level at a time in this order:
  // STATSROOT, [Flags,] Servers, server, [level,] [folder].
  std::vector<std::string> chain;
  std::string filePath;           // ...\{file name}.INI
};

// Composes the location of `file` under `mailRoot`, or nullopt when a name
// is unsafe, the nested postoffice has no "\level", a postoffice scope has no
// postoffice, or a path would exceed kMaxPathLength.
std::optional<StatsLocation> LocateStatsFile(const StatsFile& file, std::string_view mailRoot);

}  // namespace tallowmere::stats
