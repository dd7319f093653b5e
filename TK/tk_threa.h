#pragma once
// A worker thread that runs one runnable. The runnable comes from a factory
// each time a thread starts; the thread object deletes it on release when it
// owns it. Stopping is cooperative: terminate() asks the runnable to stop
// (through the stop token its run() polls) and waits for it, because a thread
// ended by force would leave an Access file half written and its lock held.
// Misuse (starting while running, terminating when idle, no runnable) is an
// internal error naming tk_threa.
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>

class tk_runnable {
 public:
  virtual ~tk_runnable() = default;
  // Called once on the new thread; returns soon after stop is requested.
  virtual void run(std::stop_token stop) = 0;
};

class tk_thread {
 public:
  using factory = std::function<tk_runnable*()>;

  tk_thread(factory make_runnable, bool owns_runnable);
  // Stops a thread that still runs (as terminate), else releases it.
  ~tk_thread();
  tk_thread(const tk_thread&) = delete;
  tk_thread& operator=(const tk_thread&) = delete;

  void start();
  // Requests the stop, waits without limit, releases the thread.
  void terminate();
  // Waits for the run to end on its own, releases the thread, and rethrows
  // what the run let escape.
  void join();

  // True while the run has not returned (waits up to 10 ms for it).
  bool is_running() const;
  bool has_thread() const { return worker_.joinable(); }

 private:
  // Shared with the worker, which may outlive a wait by a few instructions.
  struct state {
    std::mutex mutex;
    std::condition_variable ended_cv;
    bool ended = false;
    std::exception_ptr failure;
  };

  void release();

  factory make_runnable_;
  bool owns_runnable_;
  tk_runnable* runnable_ = nullptr;
  std::stop_source stop_;
  std::shared_ptr<state> state_;
  std::thread worker_;
};
