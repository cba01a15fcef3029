// The findings of `tallowmere doctor`: what was looked at, what is wrong and
// how to fix it, printed as text or one JSON object. Not thread-safe (one
// report per run). Never fails.
#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tallowmere::host {

class DoctorReport {
 public:
  // Opens a titled section; later lines belong to it.
  void Section(const std::string& title);
  // An informational line ("name: value"); `origin` says where it came from
  // ("read", "default", "not read: ...").
  void Value(const std::string& name, const std::string& value, const std::string& origin = {});
  void Ok(const std::string& what);
  // Something that works but is probably not what the administrator wants.
  void Warning(const std::string& what, const std::string& fix);
  // Something that keeps the system from working.
  void Problem(const std::string& what, const std::string& fix);

  int problems() const { return problems_; }
  int warnings() const { return warnings_; }
  std::string Text() const;
  nlohmann::json Json() const;

 private:
  struct Line {
    std::string kind;  // "value", "ok", "warning", "problem"
    std::string name;
    std::string value;
    std::string origin;
  };
  struct Part {
    std::string title;
    std::vector<Line> lines;
  };
  Part& Current();

  std::vector<Part> parts_;
  int problems_ = 0;
  int warnings_ = 0;
};

}  // namespace tallowmere::host
