#pragma once

#include <chrono>

namespace mossglow {

// Pauses the calling thread: Sleep in the program, a clock that only moves in the tests.
// Whatever waits (for a lock to go, for Explorer to show a new file) waits through one.
class Waiter {
 public:
  virtual ~Waiter() = default;
  virtual void wait(std::chrono::milliseconds pause) = 0;
};

}  // namespace mossglow
