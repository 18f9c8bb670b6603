#pragma once

#include "app/runner.hpp"

namespace mossglow {

// The operation lock as a named mutex in the logon session ("Local\"), so that two
// instances of the program, or a second press in this one, never run at once.
class MutexOperationLock final : public OperationLock {
 public:
  MutexOperationLock() = default;
  MutexOperationLock(const MutexOperationLock&) = delete;
  MutexOperationLock& operator=(const MutexOperationLock&) = delete;
  // A lock still held when the object goes away is released with it.
  ~MutexOperationLock() override;

  std::expected<Attempt, HResult> acquire() override;
  void release() override;

 private:
  void* handle_ = nullptr;  // HANDLE of the owned mutex, or null
};

}  // namespace mossglow
