// The tree:
//   values  {mail root}\{branch}\STATSROOT\Servers\{server}[\{level}]\{file}.INI
//   flags   {mail root}\{branch}\STATSROOT\Flags\Servers\{server}[\{level}]\{file}.INI
// The branch is "System" for the system scope and the postoffice otherwise;
// the nested scope takes its postoffice argument as "postoffice\level", the
// level being one more directory between the server and the file. A file
// name "folder\name" puts the file into a folder of the server (or level)
// directory; only that one folder level is created on write.
#include "statslog/stats/stats_path.h"

#include "platform/host_info.h"

namespace tallowmere::stats {
namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

Scope ScopeOf(int32_t scope) {
  if (scope == 1) return Scope::kPostoffice;
  if (scope == 2) return Scope::kNested;
  return Scope::kSystem;
}

bool IsSafeComponent(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  if (name.size() >= 2 && name[1] == ':' &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
    return false;
  }
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u < 0x20 || u == 0x7F || IsSeparator(c)) return false;
  }
  return true;
}

bool IsSafeFileName(std::string_view fileName) {
  size_t start = 0;
  while (true) {
    size_t end = start;
    while (end < fileName.size() && !IsSeparator(fileName[end])) ++end;
    if (!IsSafeComponent(fileName.substr(start, end - start))) return false;
    if (end == fileName.size()) return true;
    start = end + 1;
  }
}

std::string ResolveServer(std::string_view server) {
  if (!server.empty()) return std::string(server);
  return platform::ComputerName();
}

std::optional<StatsLocation> LocateStatsFile(const StatsFile& file, std::string_view mailRoot) {
  const std::string server = ResolveServer(file.server);
  if (!IsSafeComponent(server) || !IsSafeFileName(file.fileName)) return std::nullopt;

  const Scope scope = ScopeOf(file.scope);
  std::string_view branch = "System";
  std::string_view level;
  if (scope != Scope::kSystem) {
    branch = file.postoffice;
    if (scope == Scope::kNested) {
      size_t cut = 0;
      while (cut < branch.size() && !IsSeparator(branch[cut])) ++cut;
      if (cut == branch.size()) return std::nullopt;
      level = branch.substr(cut + 1);
      branch = branch.substr(0, cut);
      if (!IsSafeComponent(level)) return std::nullopt;
    }
    if (!IsSafeComponent(branch)) return std::nullopt;
  }

  StatsLocation location;
  location.branchDirectory.reserve(mailRoot.size() + 1 + branch.size());
  location.branchDirectory.append(mailRoot).append("\\").append(branch);
  location.existenceRule = file.tree == StatsTree::kValues && scope != Scope::kSystem;
  location.branchIsSystem = EqualsNoCase(branch, "System");

  std::string directory = location.branchDirectory;
  auto descend = [&](std::string_view name) {
    directory.append("\\").append(name);
    location.chain.push_back(directory);
  };
  descend("STATSROOT");
  if (file.tree == StatsTree::kFlags) descend("Flags");
  descend("Servers");
  descend(server);
  if (!level.empty()) descend(level);

  // The folder of "folder\name": only this one level is created.
  size_t cut = 0;
  while (cut < file.fileName.size() && !IsSeparator(file.fileName[cut])) ++cut;
  if (cut < file.fileName.size()) {
    std::string folder = directory;
    folder.append("\\").append(file.fileName.substr(0, cut));
    location.chain.push_back(std::move(folder));
  }

  location.filePath = directory;
  location.filePath.append("\\").append(file.fileName).append(".INI");
  if (location.filePath.size() > kMaxPathLength) return std::nullopt;
  return location;
}

}  // namespace tallowmere::stats
