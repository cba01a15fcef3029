// Times one ProcessDelimitedLogFile call of libstatslog.so, loaded with
// dlopen as a host loads it.
//   bench_process_log LIBRARY DEFINITION-FILE LOGDIR REPORT-FILE MAILROOT
// "@LOGDIR@" and "@REPORT@" in the definition are replaced by the arguments.
// The registry file pointing "Mail Root" at MAILROOT is written beside it.
// Prints "seconds records" on stdout; the library's own lines go to /dev/null.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace {

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    std::fprintf(stderr, "usage: %s LIBRARY DEFINITION-FILE LOGDIR REPORT-FILE MAILROOT\n", argv[0]);
    return 2;
  }
  const std::string mailRoot = argv[5];
  const std::string registry = mailRoot + ".reg";
  std::ofstream(registry) << "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Tallowmere\\Tallowmere]\r\n\"Mail Root\"=\""
                          << mailRoot << "\"\r\n";
  setenv("TALLOWMERE_REGISTRY", registry.c_str(), 1);

  std::stringstream definition;
  definition << std::ifstream(argv[2]).rdbuf();
  const std::string text = Replace(Replace(definition.str(), "@LOGDIR@", argv[3]), "@REPORT@", argv[4]);

  void* library = dlopen(argv[1], RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 1;
  }
  using Process = int32_t (*)(const char*, int32_t, char*, const int32_t*);
  auto process = reinterpret_cast<Process>(dlsym(library, "ProcessDelimitedLogFile"));
  if (process == nullptr) {
    std::fprintf(stderr, "ProcessDelimitedLogFile not exported\n");
    return 1;
  }
  std::fflush(stdout);
  const int saved = dup(1);
  const int devnull = open("/dev/null", O_WRONLY);
  dup2(devnull, 1);
  char result[1024];
  const int32_t size = sizeof result;
  const auto start = std::chrono::steady_clock::now();
  process(text.c_str(), 0, result, &size);
  const auto stop = std::chrono::steady_clock::now();
  std::fflush(stdout);
  dup2(saved, 1);
  if (result[0] != '\0') std::fprintf(stderr, "result text: %s\n", result);
  std::printf("%.6f\n", std::chrono::duration<double>(stop - start).count());
  return 0;
}
