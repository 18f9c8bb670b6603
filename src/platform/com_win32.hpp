#pragma once

namespace mossglow {

// Holds one COM interface and releases it when the holder goes, on every path.
template <class T>
class Released {
 public:
  Released() = default;
  Released(const Released&) = delete;
  Released& operator=(const Released&) = delete;
  ~Released() {
    if (pointer_ != nullptr) pointer_->Release();
  }

  T* get() const { return pointer_; }
  T* operator->() const { return pointer_; }
  // Where a call that hands out an interface puts it: as void** for QueryInterface and
  // CoCreateInstance, as T** for calls typed to the interface.
  void** out() { return reinterpret_cast<void**>(&pointer_); }
  T** typed_out() { return &pointer_; }

 private:
  T* pointer_ = nullptr;
};

}  // namespace mossglow
