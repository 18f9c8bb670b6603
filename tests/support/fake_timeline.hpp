#pragma once

#include <array>
#include <string_view>

#include "support/fault_plan.hpp"

namespace mossglow::fake {

// How a run can be stopped. A crash kills the process: everything it wrote is in the
// operating system's hands and stays. A power cut loses what was never flushed; which
// of the unflushed bytes reach the platter is up to the disk, so each power-cut kind
// picks one outcome for every file whose content is not yet durable:
//   lose:  the durable (old) bytes come back, or an empty file when none were flushed;
//   keep:  the new bytes made it;
//   tear:  a mix of the two that is neither (half the new bytes over the old ones);
//   empty: the file is there with no content;
//   mixed: files take different outcomes of the four above by their position, so that
//          a state with several unflushed files is not only seen uniformly.
// Names, renames, deletions, attributes and folders are metadata the file system
// journals; they survive every kind. Unflushed registry values revert to their
// flushed state in every power cut but "keep"; registry data is never torn.
enum class Stop {
  crash,
  power_cut_lose,
  power_cut_keep,
  power_cut_tear,
  power_cut_empty,
  power_cut_mixed
};

inline constexpr std::array<Stop, 6> all_stops{Stop::crash,           Stop::power_cut_lose,
                                               Stop::power_cut_keep,  Stop::power_cut_tear,
                                               Stop::power_cut_empty, Stop::power_cut_mixed};

constexpr std::string_view stop_name(Stop stop) {
  switch (stop) {
    case Stop::crash:
      return "crash";
    case Stop::power_cut_lose:
      return "power cut losing unflushed bytes";
    case Stop::power_cut_keep:
      return "power cut keeping unflushed bytes";
    case Stop::power_cut_tear:
      return "power cut tearing unflushed bytes";
    case Stop::power_cut_empty:
      return "power cut emptying unflushed files";
    case Stop::power_cut_mixed:
      return "power cut with mixed outcomes";
  }
  return "?";
}

// What the parts of one fake Windows (files, registry) tell the whole, so that one
// timeline holds every change.
class Observer {
 public:
  // Called after every change, including each intermediate state of a multi-step call.
  // `step` says how far the call got (empty for a call made in one step).
  virtual void changed(Op operation, std::string_view path, std::string_view step) = 0;

 protected:
  ~Observer() = default;
};

}  // namespace mossglow::fake
