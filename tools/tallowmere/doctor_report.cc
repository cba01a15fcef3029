#include "tools/tallowmere/doctor_report.h"

namespace tallowmere::host {

DoctorReport::Part& DoctorReport::Current() {
  if (parts_.empty()) parts_.push_back({"", {}});
  return parts_.back();
}

void DoctorReport::Section(const std::string& title) { parts_.push_back({title, {}}); }

void DoctorReport::Value(const std::string& name, const std::string& value, const std::string& origin) {
  Current().lines.push_back({"value", name, value, origin});
}

void DoctorReport::Ok(const std::string& what) { Current().lines.push_back({"ok", what, "", ""}); }

void DoctorReport::Warning(const std::string& what, const std::string& fix) {
  ++warnings_;
  Current().lines.push_back({"warning", what, fix, ""});
}

void DoctorReport::Problem(const std::string& what, const std::string& fix) {
  ++problems_;
  Current().lines.push_back({"problem", what, fix, ""});
}

std::string DoctorReport::Text() const {
  std::string out;
  for (const Part& part : parts_) {
    if (!part.title.empty()) out += "\n" + part.title + "\n";
    for (const Line& line : part.lines) {
      if (line.kind == "value") {
        out += "  " + line.name + ": " + line.value;
        if (!line.origin.empty()) out += "  (" + line.origin + ")";
        out += "\n";
      } else if (line.kind == "ok") {
        out += "  ok       " + line.name + "\n";
      } else {
        out += std::string("  ") + (line.kind == "problem" ? "PROBLEM  " : "warning  ") + line.name + "\n";
        if (!line.value.empty()) out += "           fix: " + line.value + "\n";
      }
    }
  }
  out += "\n";
  if (problems_ == 0) {
    out += warnings_ == 0 ? "Everything works.\n"
                          : "Everything works (" + std::to_string(warnings_) + " warning(s) above).\n";
  } else {
    out += std::to_string(problems_) + " problem(s) found; see PROBLEM lines above.\n";
  }
  return out;
}

nlohmann::json DoctorReport::Json() const {
  nlohmann::json sections = nlohmann::json::array();
  for (const Part& part : parts_) {
    nlohmann::json values = nlohmann::json::object();
    nlohmann::json findings = nlohmann::json::array();
    for (const Line& line : part.lines) {
      if (line.kind == "value") {
        values[line.name] = {{"value", line.value}, {"origin", line.origin}};
      } else {
        nlohmann::json finding{{"level", line.kind}, {"what", line.name}};
        if (!line.value.empty()) finding["fix"] = line.value;
        findings.push_back(finding);
      }
    }
    sections.push_back({{"title", part.title}, {"values", values}, {"findings", findings}});
  }
  return {{"sections", sections}, {"problems", problems_}, {"warnings", warnings_}};
}

}  // namespace tallowmere::host
