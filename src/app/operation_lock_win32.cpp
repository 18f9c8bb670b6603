#include "app/operation_lock_win32.hpp"

#include <windows.h>

namespace mossglow {

MutexOperationLock::~MutexOperationLock() { release(); }

std::expected<OperationLock::Attempt, HResult> MutexOperationLock::acquire() {
  if (handle_ != nullptr) return Attempt::busy;  // already held through this object
  // CreateMutexW reports an existing mutex only through the last error; clear it so
  // that a stale value cannot be mistaken for that report.
  SetLastError(ERROR_SUCCESS);
  HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Local\\MossglowOperationMutex");
  const DWORD error = GetLastError();
  if (mutex == nullptr) return std::unexpected(error == 0 ? e_fail : hresult_from_win32(error));
  if (error == ERROR_ALREADY_EXISTS) {
    // Someone else owns it; this handle gives no ownership and is not needed.
    CloseHandle(mutex);
    return Attempt::busy;
  }
  handle_ = mutex;
  return Attempt::acquired;
}

void MutexOperationLock::release() {
  if (handle_ == nullptr) return;
  ReleaseMutex(handle_);
  CloseHandle(handle_);
  handle_ = nullptr;
}

}  // namespace mossglow
