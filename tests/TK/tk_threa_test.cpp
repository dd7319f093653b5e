#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "TK/tk_excep.h"
#include "TK/tk_threa.h"
#include "decode_assertion.h"

namespace {
using namespace std::chrono_literals;

// Counts its runs and deletions; loops until asked to stop when told to.
struct probe : tk_runnable {
  std::atomic<int>* runs;
  std::atomic<int>* deleted;
  bool until_stopped;
  std::atomic<bool> saw_stop{false};
  probe(std::atomic<int>* r, std::atomic<int>* d, bool loop) : runs(r), deleted(d), until_stopped(loop) {}
  ~probe() override { if (deleted) ++*deleted; }
  void run(std::stop_token stop) override {
    ++*runs;
    while (until_stopped && !stop.stop_requested()) std::this_thread::sleep_for(1ms);
    saw_stop = stop.stop_requested();
  }
};

std::string assertion_source(const std::function<void()>& call) {
  try {
    call();
  } catch (const tk_mail_assertion& e) {
    return assertion_file(e);
  }
  return "(none)";
}
}  // namespace

TEST(TkThread, RunsOnceOnAnotherThreadAndDeletesAnOwnedRunnable) {
  std::atomic<int> runs{0}, deleted{0};
  std::thread::id ran_on;
  struct where : probe {
    std::thread::id* id;
    where(std::atomic<int>* r, std::atomic<int>* d, std::thread::id* i) : probe(r, d, false), id(i) {}
    void run(std::stop_token stop) override { *id = std::this_thread::get_id(); probe::run(stop); }
  };
  {
    tk_thread thread([&] { return new where(&runs, &deleted, &ran_on); }, true);
    thread.start();
    thread.join();
    EXPECT_EQ(runs, 1);
    EXPECT_NE(ran_on, std::this_thread::get_id());
    EXPECT_EQ(deleted, 1);  // released after the join
    EXPECT_FALSE(thread.has_thread());
    thread.start();  // a second run gets a fresh runnable
  }
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(deleted, 2);
}

TEST(TkThread, LeavesARunnableItDoesNotOwn) {
  std::atomic<int> runs{0}, deleted{0};
  probe shared(&runs, &deleted, false);
  {
    tk_thread thread([&] { return &shared; }, false);
    thread.start();
    thread.join();
    thread.start();
  }
  EXPECT_EQ(runs, 2);
  EXPECT_EQ(deleted, 0);
}

TEST(TkThread, TerminateAsksTheRunToStopAndWaitsForIt) {
  std::atomic<int> runs{0};
  probe looping(&runs, nullptr, true);
  tk_thread thread([&] { return &looping; }, false);
  thread.start();
  EXPECT_TRUE(thread.is_running());
  thread.terminate();
  EXPECT_TRUE(looping.saw_stop);  // the run returned by itself
  EXPECT_FALSE(thread.is_running());
  EXPECT_FALSE(thread.has_thread());
}

TEST(TkThread, DestructorStopsARunStillGoing) {
  std::atomic<int> runs{0}, deleted{0};
  {
    tk_thread thread([&] { return new probe(&runs, &deleted, true); }, true);
    thread.start();
    while (runs == 0) std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(deleted, 1);
}

TEST(TkThread, MisuseIsAnInternalErrorOfTkThrea) {
  std::atomic<int> runs{0};
  probe looping(&runs, nullptr, true);
  tk_thread thread([&] { return &looping; }, false);
  EXPECT_EQ(assertion_source([&] { thread.terminate(); }), "tk_threa");  // nothing runs
  thread.start();
  EXPECT_EQ(assertion_source([&] { thread.start(); }), "tk_threa");  // still running
  thread.terminate();

  tk_thread empty([] { return nullptr; }, true);
  EXPECT_EQ(assertion_source([&] { empty.start(); }), "tk_threa");
  tk_thread no_factory(nullptr, true);
  EXPECT_EQ(assertion_source([&] { no_factory.start(); }), "tk_threa");
}

TEST(TkThread, JoinRethrowsWhatTheRunLetEscape) {
  struct failing : tk_runnable {
    void run(std::stop_token) override { throw tk_exception("worker failed", 1); }
  };
  tk_thread thread([] { return new failing; }, true);
  thread.start();
  try {
    thread.join();
    FAIL() << "no exception";
  } catch (const tk_exception& e) {
    EXPECT_EQ(e.text(), "worker failed");
  }
  EXPECT_FALSE(thread.has_thread());
}
