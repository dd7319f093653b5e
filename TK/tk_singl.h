#pragma once
// Base of the objects that exist once per process (trace log, error handler,
// converter, engines). A second construction, or use before construction, is
// an internal error.
#include "TK/tk_excep.h"

template <class T>
class tk_singleton {
 public:
  tk_singleton(const tk_singleton&) = delete;
  tk_singleton& operator=(const tk_singleton&) = delete;

  // The instance, or null when none exists.
  static T* instance() { return static_cast<T*>(instance_); }
  // The instance; its absence is an internal error.
  static T& get() {
    if (!instance_) throw tk_mail_assertion("tk_singl", __LINE__);
    return *static_cast<T*>(instance_);
  }

 protected:
  tk_singleton() {
    if (instance_) throw tk_mail_assertion("tk_singl", __LINE__);
    // Kept as the base: T is not constructed yet, so casting to it here would
    // be undefined (and a polymorphic T trips the sanitizer's type check).
    instance_ = this;
  }
  ~tk_singleton() { instance_ = nullptr; }

 private:
  static inline tk_singleton* instance_ = nullptr;
};
