// tallowmere-demo-logs: writes a realistic month of SMTP-service W3C logs
// for the demonstration, the same bytes on every run (a fixed-seed
// generator, no clock, no locale).
//
//   tallowmere-demo-logs DIR YEAR MONTH [--missing-day D] [--hourly-day D]
//
// One file exYYMMDD.log per day, except: --missing-day has no file at all
// (a server outage), --hourly-day is written as 24 hourly files
// exYYMMDDHH.log. Three postoffices (acme.example, globex.example,
// initech.example) with their users send and receive mail; weekdays are
// busier than weekends; some recipients are rejected and some messages are
// flagged as spam. Columns: the usual W3C SMTP fields plus x-postoffice, the
// postoffice of the session's user. Exit 0 on success, 1 with a message
// naming the file on a write failure, 2 on bad arguments.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// xorshift64*: small, fast and the same on every platform.
class Random {
 public:
  explicit Random(uint64_t seed) : state_(seed ? seed : 1) {}
  uint64_t Next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 2685821657736338717ULL;
  }
  int Below(int n) { return static_cast<int>(Next() % static_cast<uint64_t>(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  uint64_t state_;
};

struct Postoffice {
  const char* name;
  int users;
  int weight;  // relative traffic
};

constexpr Postoffice kPostoffices[] = {{"acme.example", 24, 5}, {"globex.example", 12, 3}, {"initech.example", 8, 2}};
constexpr const char* kRemoteDomains[] = {"example.net", "example.org", "mail.example.com", "lists.example.edu",
                                          "partner.example"};

int DaysIn(int year, int month) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
  return days[month - 1];
}

// 0 = Sunday (Sakamoto's method).
int Weekday(int year, int month, int day) {
  static const int t[] = {0, 3, 2, 5, 0, 3, 5, 1, 4, 6, 2, 4};
  if (month < 3) year -= 1;
  return (year + year / 4 - year / 100 + year / 400 + t[month - 1] + day) % 7;
}

class LogFile {
 public:
  LogFile(const std::string& path, int year, int month, int day, int hour) : path_(path) {
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) return;
    std::fprintf(file_, "#Software: Tallowmere SMTP Service 7.0\r\n#Version: 1.0\r\n");
    std::fprintf(file_, "#Date: %04d-%02d-%02d %02d:00:00\r\n", year, month, day, hour);
    std::fprintf(file_,
                 "#Fields: date time c-ip cs-username s-sitename s-computername s-ip s-port cs-method cs-uri-stem "
                 "cs-uri-query sc-status sc-win32-status sc-bytes cs-bytes time-taken x-postoffice\r\n");
  }
  ~LogFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool ok() const { return file_ != nullptr && !std::ferror(file_); }
  bool Close() {
    const bool good = file_ != nullptr && !std::ferror(file_) && std::fclose(file_) == 0;
    file_ = nullptr;
    return good;
  }
  std::FILE* get() { return file_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::FILE* file_ = nullptr;
};

struct Session {
  int second;  // of the day
  std::string lines;
};

// One SMTP session: EHLO, MAIL, RCPT x n, DATA, QUIT.
std::string MakeSession(Random& r, int year, int month, int day, int second) {
  const Postoffice& po = [&]() -> const Postoffice& {
    int pick = r.Below(10);
    for (const Postoffice& p : kPostoffices) {
      if (pick < p.weight) return p;
      pick -= p.weight;
    }
    return kPostoffices[0];
  }();
  char user[96];
  std::snprintf(user, sizeof user, "user%02d@%s", r.Below(po.users), po.name);
  char ip[32];
  std::snprintf(ip, sizeof ip, "198.51.100.%d", 1 + r.Below(250));
  const int recipients = 1 + r.Below(4) + (r.Chance(5) ? 10 : 0);
  const int size = 800 + r.Below(60000) + (r.Chance(3) ? 2000000 : 0);
  const bool spam = r.Chance(7);
  std::string out;
  char line[512];
  int t = second;
  auto add = [&](const char* method, const std::string& query, int status, int scBytes, int csBytes) {
    std::snprintf(line, sizeof line,
                  "%04d-%02d-%02d %02d:%02d:%02d %s %s SMTPSVC1 MX1 192.0.2.25 25 %s - %s %d 0 %d %d %d %s\r\n", year,
                  month, day, t / 3600, (t / 60) % 60, t % 60, ip, user, method, query.c_str(), status, scBytes,
                  csBytes, 1 + r.Below(900), po.name);
    out += line;
    if (t < 86399) ++t;
  };
  add("EHLO", "-", 250, 300 + r.Below(100), 40 + r.Below(30));
  add("MAIL", "+FROM:<" + std::string(user) + ">+SIZE=" + std::to_string(size), 250, 180, 40);
  int accepted = 0;
  for (int i = 0; i < recipients; ++i) {
    std::string to = "rcpt" + std::to_string(r.Below(5000)) + "@" + kRemoteDomains[r.Below(5)];
    const bool rejected = r.Chance(6);
    add("RCPT", "+TO:<" + to + ">", rejected ? 550 : 250, 200, 30 + static_cast<int>(to.size()));
    accepted += rejected ? 0 : 1;
  }
  if (accepted > 0) {
    add("DATA", spam ? "+x-spam-flag:YES" : "+x-spam-flag:no", 250, 250, size);
  }
  add("QUIT", "-", 240, 60, 6);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s DIR YEAR MONTH [--missing-day D] [--hourly-day D]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const int year = std::atoi(argv[2]);
  const int month = std::atoi(argv[3]);
  int missingDay = 0, hourlyDay = 0;
  for (int i = 4; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--missing-day") == 0) {
      missingDay = std::atoi(argv[i + 1]);
    } else if (std::strcmp(argv[i], "--hourly-day") == 0) {
      hourlyDay = std::atoi(argv[i + 1]);
    } else {
      std::fprintf(stderr, "tallowmere-demo-logs: unknown option %s\n", argv[i]);
      return 2;
    }
  }
  if (year < 1970 || year > 9999 || month < 1 || month > 12) {
    std::fprintf(stderr, "tallowmere-demo-logs: YEAR must be 1970-9999 and MONTH 1-12 (got %s %s)\n", argv[2], argv[3]);
    return 2;
  }
  const int days = DaysIn(year, month);
  long totalLines = 0;
  for (int day = 1; day <= days; ++day) {
    Random r(0x7a11097e5eedULL + static_cast<uint64_t>(year) * 10000 + static_cast<uint64_t>(month) * 100 +
             static_cast<uint64_t>(day));
    if (day == missingDay) continue;
    const int weekday = Weekday(year, month, day);
    const bool weekend = weekday == 0 || weekday == 6;
    const int sessions = (weekend ? 180 : 520) + r.Below(weekend ? 60 : 160) + day * 3;
    // Sessions spread over the day, busier in office hours.
    std::vector<Session> list;
    list.reserve(static_cast<size_t>(sessions));
    for (int i = 0; i < sessions; ++i) {
      int second = r.Chance(70) ? 8 * 3600 + r.Below(10 * 3600) : r.Below(86400);
      list.push_back({second, {}});
    }
    std::vector<int> order(list.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = list[i].second;
    std::sort(order.begin(), order.end());
    char yymmdd[16];
    std::snprintf(yymmdd, sizeof yymmdd, "%02d%02d%02d", year % 100, month, day);
    if (day == hourlyDay) {
      std::vector<std::string> byHour(24);
      for (const int second : order) byHour[static_cast<size_t>(second / 3600)] += MakeSession(r, year, month, day, second);
      for (int hour = 0; hour < 24; ++hour) {
        char name[64];
        std::snprintf(name, sizeof name, "/ex%s%02d.log", yymmdd, hour);
        LogFile file(dir + name, year, month, day, hour);
        if (!file.ok()) {
          std::fprintf(stderr, "tallowmere-demo-logs: cannot write %s: %s\n", file.path().c_str(), std::strerror(errno));
          return 1;
        }
        std::fputs(byHour[static_cast<size_t>(hour)].c_str(), file.get());
        if (!file.Close()) {
          std::fprintf(stderr, "tallowmere-demo-logs: cannot write %s\n", file.path().c_str());
          return 1;
        }
      }
      totalLines += sessions;
      continue;
    }
    LogFile file(dir + "/ex" + yymmdd + ".log", year, month, day, 0);
    if (!file.ok()) {
      std::fprintf(stderr, "tallowmere-demo-logs: cannot write %s: %s\n", file.path().c_str(), std::strerror(errno));
      return 1;
    }
    for (const int second : order) {
      const std::string text = MakeSession(r, year, month, day, second);
      std::fputs(text.c_str(), file.get());
    }
    totalLines += sessions;
    if (!file.Close()) {
      std::fprintf(stderr, "tallowmere-demo-logs: cannot write %s\n", file.path().c_str());
      return 1;
    }
  }
  std::printf("%ld sessions over %d days written to %s\n", totalLines, days - (missingDay ? 1 : 0), dir.c_str());
  return 0;
}
