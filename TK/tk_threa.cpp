#include "TK/tk_threa.h"

#include <chrono>

#include "TK/tk_excep.h"
#include "TK/tk_trace.h"

namespace {
constexpr auto running_wait = std::chrono::milliseconds(10);
}

tk_thread::tk_thread(factory make_runnable, bool owns_runnable)
    : make_runnable_(std::move(make_runnable)), owns_runnable_(owns_runnable) {
  trace(1, "tk_thread::ctor");
}

tk_thread::~tk_thread() {
  trace(1, "tk_thread::dtor");
  if (is_running()) {
    stop_.request_stop();
    worker_.join();
  }
  release();
}

bool tk_thread::is_running() const {
  if (!worker_.joinable()) return false;
  std::unique_lock lock(state_->mutex);
  return !state_->ended_cv.wait_for(lock, running_wait, [this] { return state_->ended; });
}

void tk_thread::start() {
  trace(2, "tk_thread::start");
  TK_CHECK(!is_running(), "tk_threa");
  release();
  runnable_ = make_runnable_ ? make_runnable_() : nullptr;
  TK_CHECK(runnable_ != nullptr, "tk_threa");
  stop_ = std::stop_source();
  state_ = std::make_shared<state>();
  worker_ = std::thread([runnable = runnable_, token = stop_.get_token(), shared = state_] {
    std::exception_ptr failure;
    try {
      runnable->run(token);
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard lock(shared->mutex);
    shared->failure = failure;
    shared->ended = true;
    shared->ended_cv.notify_all();
  });
}

void tk_thread::terminate() {
  trace(2, "tk_thread::terminate");
  TK_CHECK(is_running(), "tk_threa");
  stop_.request_stop();
  worker_.join();
  release();
}

void tk_thread::join() {
  trace(2, "tk_thread::join");
  if (!worker_.joinable()) return;
  worker_.join();
  std::exception_ptr failure = state_->failure;
  release();
  if (failure) std::rethrow_exception(failure);
}

void tk_thread::release() {
  if (worker_.joinable()) worker_.join();
  if (owns_runnable_) delete runnable_;
  runnable_ = nullptr;
  state_.reset();
}
