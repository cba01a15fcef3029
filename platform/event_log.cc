// Event-log stand-in: syslog(3) and the optional JSON-lines file.
//
// syslog's ident is process-wide state, so each entry opens the log under its
// source, writes, and closes it again under one lock (as the event source is
// registered and deregistered for every entry). A host that calls openlog
// itself must call it again after an entry was written. Control characters
// in the syslog message are written as \n, \t, \r or \xNN so that one entry
// stays one line. The JSON file is opened with O_APPEND for every entry and
// the line is handed to one write(2), so lines of concurrent writers (threads
// or processes) never interleave.
#include "platform/event_log.h"

#include <fcntl.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <set>
#include <string>

#include "platform/json_text.h"

namespace tallowmere::platform {

namespace {

int Priority(uint16_t type) {
  switch (type) {
    case kEventError: return LOG_ERR;
    case kEventWarning: return LOG_WARNING;
    default: return LOG_INFO;
  }
}

void AppendPrintable(std::string& out, std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte == '\n') {
      out += "\\n";
    } else if (byte == '\r') {
      out += "\\r";
    } else if (byte == '\t') {
      out += "\\t";
    } else if (byte < 0x20 || byte == 0x7F) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
}

void WriteSyslog(std::string_view source, uint16_t type, uint32_t id, std::string_view first,
                 std::string_view second) {
  static std::mutex* mutex = new std::mutex;  // never destroyed: usable during unload
  // openlog keeps the ident pointer; idents are kept for the life of the
  // process so a pointer handed out once stays valid.
  static std::set<std::string, std::less<>>* idents = new std::set<std::string, std::less<>>;

  std::string message = "event " + std::to_string(id) + ": ";
  AppendPrintable(message, first);
  message += ": ";
  AppendPrintable(message, second);

  std::string identText;
  AppendPrintable(identText, source);
  std::lock_guard<std::mutex> guard(*mutex);
  auto ident = idents->find(identText);
  if (ident == idents->end()) ident = idents->insert(std::move(identText)).first;
  const int saved = errno;
  openlog(ident->c_str(), LOG_PID, LOG_MAIL);
  syslog(LOG_MAIL | Priority(type), "%s", message.c_str());
  closelog();
  errno = saved;
}

void AppendJsonLine(const char* path, std::string_view source, uint16_t type, uint32_t id,
                    std::string_view first, std::string_view second) {
  std::string line = "{\"source\":";
  AppendJsonString(line, source);
  line += ",\"type\":" + std::to_string(type) + ",\"id\":" + std::to_string(id) + ",\"strings\":[";
  AppendJsonString(line, first);
  line += ',';
  AppendJsonString(line, second);
  line += "]}\n";

  const int saved = errno;
  const int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd >= 0) {
    ssize_t written;
    do {
      written = write(fd, line.data(), line.size());
    } while (written < 0 && errno == EINTR);
    close(fd);
  }
  errno = saved;
}

}  // namespace

bool ReportEvent(std::string_view source, uint16_t type, uint32_t id, std::string_view first,
                 std::string_view second) {
  if (source.empty()) return false;
  WriteSyslog(source, type, id, first, second);
  const char* path = std::getenv("TALLOWMERE_EVENTLOG");
  if (path != nullptr && *path != '\0') AppendJsonLine(path, source, type, id, first, second);
  return true;
}

}  // namespace tallowmere::platform
