#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mossglow::fake {

// Failures the tests ask for: the n-th call (counted from 1) of a named operation,
// or every call of an operation on one path, fails with a chosen Win32 code or
// HRESULT. Operation names are the fake's method names ("copy_file", "set_link_icon").
class FaultPlan {
 public:
  void fail_nth(std::string operation, int nth, std::uint32_t code) {
    nth_[std::move(operation)].push_back({nth, code});
  }
  // `path` is compared after the same folding the fake applies to names.
  void fail_on_path(std::string operation, std::string folded_path, std::uint32_t code) {
    on_path_[std::move(operation)][std::move(folded_path)] = code;
  }
  void clear() { *this = FaultPlan{}; }

  // Counts one call and answers whether it is to fail.
  std::optional<std::uint32_t> next(std::string_view operation, std::string_view folded_path = {}) {
    const std::string name(operation);
    const int call = ++calls_[name];
    if (auto it = on_path_.find(name); it != on_path_.end()) {
      if (auto p = it->second.find(std::string(folded_path)); p != it->second.end())
        return p->second;
    }
    if (auto it = nth_.find(name); it != nth_.end()) {
      for (const auto& f : it->second) {
        if (f.nth == call) return f.code;
      }
    }
    return std::nullopt;
  }

  int calls(std::string_view operation) const {
    const auto it = calls_.find(std::string(operation));
    return it == calls_.end() ? 0 : it->second;
  }

 private:
  struct Nth {
    int nth;
    std::uint32_t code;
  };
  std::map<std::string, std::vector<Nth>> nth_;
  std::map<std::string, std::map<std::string, std::uint32_t>> on_path_;
  std::map<std::string, int> calls_;
};

}  // namespace mossglow::fake
