#pragma once
// ole_com_ptr<T>: owns one reference to a COM interface. It starts null,
// receives a reference through address() (the way COM hands objects out),
// and releases it when destroyed or reset. Using it while null is an
// internal error.
#include <utility>

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"
#include "platform/com.h"

template <class T>
class ole_com_ptr {
 public:
  ole_com_ptr() = default;
  // Takes over a reference the caller owns.
  explicit ole_com_ptr(T* owned) : ptr_(owned) {}
  ole_com_ptr(const ole_com_ptr&) = delete;
  ole_com_ptr& operator=(const ole_com_ptr&) = delete;
  ole_com_ptr(ole_com_ptr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
  ole_com_ptr& operator=(ole_com_ptr&& other) noexcept {
    if (this != &other) {
      reset();
      ptr_ = std::exchange(other.ptr_, nullptr);
    }
    return *this;
  }
  virtual ~ole_com_ptr() { reset(); }

  // Releases the held reference, if any.
  void reset() {
    if (!ptr_) return;
    ULONG left = std::exchange(ptr_, nullptr)->Release();
    trace(1, "ole_com_ptr<T>::~ole_com_ptr() - %d refs left", static_cast<int>(left));
  }

  // For out-parameters: releases what is held and hands out the slot.
  T** address() {
    reset();
    return &ptr_;
  }
  void** void_address() { return reinterpret_cast<void**>(address()); }

  bool is_null() const { return ptr_ == nullptr; }
  T* get() const {
    if (!ptr_) throw tk_mail_assertion("ole_ptr", __LINE__);
    return ptr_;
  }
  T* operator->() const { return get(); }
  // Hands the reference to the caller.
  T* detach() { return std::exchange(ptr_, nullptr); }

 private:
  T* ptr_ = nullptr;
};
