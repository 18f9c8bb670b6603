#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace mossglow::e2e {

// Prints one line per check and counts the failures; every check of a scenario runs
// even after one has failed, so that one run shows the whole picture.
class Checks {
 public:
  bool expect(bool ok, std::string_view what) {
    std::printf("  %s %.*s\n", ok ? "ok  " : "FAIL", static_cast<int>(what.size()), what.data());
    if (!ok) ++failures_;
    return ok;
  }

  template <class T>
  bool expect_eq(const T& actual, const T& expected, std::string_view what) {
    const bool ok = actual == expected;
    expect(ok, what);
    if (!ok) {
      std::printf("       actual:   %s\n       expected: %s\n", shown(actual).c_str(),
                  shown(expected).c_str());
    }
    return ok;
  }

  int failures() const { return failures_; }

 private:
  static std::string shown(const std::string& text) { return "\"" + text + "\""; }
  static std::string shown(long long value) { return std::to_string(value); }
  static std::string shown(bool value) { return value ? "true" : "false"; }

  int failures_ = 0;
};

inline void scenario(std::string_view name) {
  std::printf("%.*s\n", static_cast<int>(name.size()), name.data());
  std::fflush(stdout);
}

}  // namespace mossglow::e2e
