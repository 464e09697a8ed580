// Threads the program starts. Each runs on a host thread of its own, but only
// while the program's thread waits for it (or once the world ends), so the
// world is never used by two threads at once and every run is repeatable. A thread that makes a call that never answers (a hung shell) marks
// itself hung and blocks; a wait for it then times out at once in simulated
// time, and the thread stays blocked until the world ends, when its call
// returns and it is joined.
#include <cstdio>
#include <cstdlib>

#include "SimInternal.h"

namespace sim {

namespace {

thread_local ThreadRun* t_thisThread = nullptr;

}  // namespace

void HangThisThread() {
  World::Impl& s = State();
  if (!t_thisThread) {
    std::fprintf(stderr, "sim: the program's own thread made a call that never answers\n");
    std::abort();
  }
  std::unique_lock<std::mutex> lock(s.threadMutex);
  t_thisThread->hung = true;
  s.threadChanged.notify_all();
  s.threadChanged.wait(lock, [&s] { return s.releaseHungThreads; });
}

void JoinThreads() {
  World::Impl& s = State();
  {
    std::lock_guard<std::mutex> lock(s.threadMutex);
    s.releaseHungThreads = true;
  }
  s.threadChanged.notify_all();
  for (auto& t : s.threads) {
    if (t->host.joinable()) t->host.join();
  }
}

int World::ThreadsStarted() const { return static_cast<int>(impl_->threads.size()); }

int World::HungThreads() const {
  std::lock_guard<std::mutex> lock(impl_->threadMutex);
  int n = 0;
  for (const auto& t : impl_->threads) n += t->hung && !t->finished;
  return n;
}

}  // namespace sim

using namespace sim;

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress,
                    LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
  World::Impl& s = State();
  if (FaultHere("CreateThread")) {
    SetError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (!lpStartAddress || dwCreationFlags != 0) {
    SetError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto run = std::make_shared<ThreadRun>();
  s.threads.push_back(run);
  if (lpThreadId) *lpThreadId = 0x1000 + static_cast<DWORD>(s.threads.size());
  ThreadRun* raw = run.get();
  run->host = std::thread([raw, lpStartAddress, lpParameter, &s] {
    t_thisThread = raw;
    {
      std::unique_lock<std::mutex> lock(s.threadMutex);
      s.threadChanged.wait(lock, [raw, &s] { return raw->waitedFor || s.releaseHungThreads; });
    }
    lpStartAddress(lpParameter);
    std::lock_guard<std::mutex> lock(s.threadMutex);
    raw->finished = true;
    s.threadChanged.notify_all();
  });
  KernelObject obj;
  obj.kind = KernelObject::kThread;
  obj.thread = run;
  return NewKernelHandle(obj);
}

// A thread that finished signals the wait; one that hangs makes a finite wait
// time out (the clock advances by the time-out) and an endless one abort the
// test, which on Windows would never return.
DWORD WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
  World::Impl& s = State();
  KernelObject* obj = FindKernelObject(hHandle, KernelObject::kThread);
  if (!obj) {
    SetError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  std::shared_ptr<ThreadRun> run = obj->thread;
  std::unique_lock<std::mutex> lock(s.threadMutex);
  run->waitedFor = true;
  s.threadChanged.notify_all();
  s.threadChanged.wait(lock, [&run] { return run->finished || run->hung; });
  if (run->finished) return WAIT_OBJECT_0;
  if (dwMilliseconds == INFINITE) {
    std::fprintf(stderr, "sim: the program waits for ever for a thread that hangs\n");
    std::abort();
  }
  s.tickCount += dwMilliseconds;
  return WAIT_TIMEOUT;
}
