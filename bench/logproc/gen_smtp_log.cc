// Writes a deterministic W3C extended log of an SMTP service: directives, a
// 16-column "#Fields:" header, CR LF line ends, one line per SMTP command of
// a session, users drawn with a skewed (Zipf-like) distribution.
//   gen_smtp_log OUTPUT LINES [USERS] [SEED]
// The same arguments always give the same bytes.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// xorshift64*: small, fast and the same everywhere.
struct Random {
  uint64_t state;
  uint64_t Next() {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 2685821657736338717ull;
  }
  double Unit() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }
  uint64_t Below(uint64_t n) { return Next() % n; }
};

const char* const kFields =
    "#Fields: date time c-ip cs-username s-sitename s-computername s-ip s-port cs-method cs-uri-stem "
    "cs-uri-query sc-status sc-win32-status sc-bytes cs-bytes time-taken\r\n";

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUTPUT LINES [USERS] [SEED]\n", argv[0]);
    return 2;
  }
  const long lines = std::atol(argv[2]);
  const int users = argc > 3 ? std::atoi(argv[3]) : 4000;
  Random random{argc > 4 ? std::strtoull(argv[4], nullptr, 10) : 20131127ull};
  std::FILE* out = std::fopen(argv[1], "wb");
  if (out == nullptr || lines < 0 || users < 1) {
    std::perror(argv[1]);
    return 1;
  }
  std::setvbuf(out, nullptr, _IOFBF, 1 << 20);

  // Zipf-like weights (exponent 1.1): a few users send most of the mail.
  std::vector<double> cumulative(static_cast<size_t>(users));
  double sum = 0;
  for (int i = 0; i < users; ++i) {
    sum += 1.0 / std::pow(i + 1, 1.1);
    cumulative[static_cast<size_t>(i)] = sum;
  }
  std::vector<std::string> names;
  const char* const domains[] = {"example.com", "example.org", "mail.example.net", "corp.example"};
  for (int i = 0; i < users; ++i) {
    names.push_back("user" + std::to_string((i * 7919) % 100000) + "@" + domains[i % 4]);
  }

  std::fprintf(out, "#Software: Tallowmere SMTP Service 7.0\r\n#Version: 1.0\r\n#Date: 2013-11-27 00:00:00\r\n%s",
               kFields);
  const char* const commands[] = {"EHLO", "MAIL", "RCPT", "RCPT", "DATA", "QUIT"};
  long written = 0;
  int session = 0;
  while (written < lines) {
    const double pick = random.Unit() * sum;
    size_t lo = 0, hi = cumulative.size() - 1;
    while (lo < hi) {
      const size_t mid = (lo + hi) / 2;
      if (cumulative[mid] < pick) lo = mid + 1; else hi = mid;
    }
    const std::string& user = names[lo];
    const unsigned ip = static_cast<unsigned>(random.Next());
    const bool rejected = random.Below(20) == 0;
    const bool spam = random.Below(12) == 0;
    const long seconds = written * 86400L / (lines > 0 ? lines : 1);
    for (const char* command : commands) {
      if (written >= lines) break;
      int status = 250;
      std::string query = "-";
      if (std::string(command) == "MAIL") query = "+FROM:<" + user + ">+SIZE=" + std::to_string(random.Below(90000) + 500);
      if (std::string(command) == "RCPT") {
        query = "+TO:<rcpt" + std::to_string(random.Below(5000)) + "@example.net>";
        if (rejected) status = 550;
      }
      if (std::string(command) == "DATA") {
        query = spam ? "+<X-Spam-Flag:YES>+queued" : "+queued";
        status = rejected ? 554 : 250;
      }
      if (std::string(command) == "QUIT") status = 240;
      std::fprintf(out,
                   "2013-11-27 %02ld:%02ld:%02ld %u.%u.%u.%u %s SMTPSVC1 MX1 192.0.2.25 25 %s - %s %d 0 %lu %lu %lu\r\n",
                   seconds / 3600, seconds / 60 % 60, seconds % 60, ip >> 24, (ip >> 16) & 255, (ip >> 8) & 255,
                   ip & 255, user.c_str(), command, query.c_str(), status,
                   static_cast<unsigned long>(random.Below(400) + 20),
                   static_cast<unsigned long>(std::string(command) == "DATA" ? random.Below(200000) + 300
                                                                              : random.Below(80) + 10),
                   static_cast<unsigned long>(random.Below(3000)));
      ++written;
    }
    // The service starts a new log section now and then.
    if (++session % 20000 == 0) std::fprintf(out, "#Date: 2013-11-27 %02ld:00:00\r\n%s", seconds / 3600, kFields);
  }
  return std::fclose(out) == 0 ? 0 : 1;
}
