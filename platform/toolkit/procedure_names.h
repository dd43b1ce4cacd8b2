// The stack of procedure names that the error reporter keeps: each window registers its name
// while it is open ("Main", later "ViewPSP"), so a message can be traced to the window that
// raised it, and the previous name returns when the window closes.
//
// Used on the windows' thread only.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace orvel::platform::toolkit {

class ProcedureNames {
 public:
  void push(std::string_view name) { names_.emplace_back(name); }
  // Popping an empty stack does nothing.
  void pop() {
    if (!names_.empty()) names_.pop_back();
  }
  // The name registered last, empty when there is none.
  std::string_view current() const {
    return names_.empty() ? std::string_view() : std::string_view(names_.back());
  }
  size_t depth() const { return names_.size(); }

 private:
  std::vector<std::string> names_;
};

// Registers a name for the life of the object.
class ProcedureScope {
 public:
  ProcedureScope(ProcedureNames& names, std::string_view name) : names_(names) {
    names_.push(name);
  }
  ~ProcedureScope() { names_.pop(); }
  ProcedureScope(const ProcedureScope&) = delete;
  ProcedureScope& operator=(const ProcedureScope&) = delete;

 private:
  ProcedureNames& names_;
};

}  // namespace orvel::platform::toolkit
