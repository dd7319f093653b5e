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
  static T* instance() { return instance_; }
  // The instance; its absence is an internal error.
  static T& get() {
    if (!instance_) throw tk_mail_assertion("tk_singl", __LINE__);
    return *instance_;
  }

 protected:
  tk_singleton() {
    if (instance_) throw tk_mail_assertion("tk_singl", __LINE__);
    instance_ = static_cast<T*>(this);
  }
  ~tk_singleton() { instance_ = nullptr; }

 private:
  static inline T* instance_ = nullptr;
};
