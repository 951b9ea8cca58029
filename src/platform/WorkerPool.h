#pragma once
// A small pool of worker threads for work that splits into independent pieces (decoding
// several pictures, compressing blocks of one stream). Whoever waits for pieces runs queued
// pieces itself meanwhile, so waiting never holds a thread idle and nothing can deadlock on
// a full pool. With one thread everything runs on the caller, in order.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace gz {

class TWorkerPool {
public:
    // threads: how many threads work at most, the caller included (at least 1).
    explicit TWorkerPool(int threads);
    ~TWorkerPool();
    TWorkerPool(const TWorkerPool&) = delete;
    TWorkerPool& operator=(const TWorkerPool&) = delete;

    int Threads() const { return threads_; }
    // Queues a piece of work; with one thread it runs at once. A piece must not throw.
    void Submit(std::function<void()> task);
    // Runs queued work on the calling thread until done() holds.
    void WaitUntil(const std::function<bool()>& done);
    // Wakes the waiters to look at their condition again (call after a piece has finished).
    void Notify();

private:
    bool RunOne(std::unique_lock<std::mutex>& lock);
    void Work();

    int threads_;
    std::mutex mutex_;
    std::condition_variable wake_;     // work was queued, or the pool stops
    std::condition_variable finished_; // a piece finished
    std::deque<std::function<void()>> queue_;
    std::vector<std::thread> workers_;
    bool stopping_ = false;
};

// The pool shared by the codecs and the join; its size follows SetWorkerThreads.
TWorkerPool& SharedWorkers();
// How many threads the shared pool uses from now on (0: one per processor core).
void SetWorkerThreads(int threads);
int ProcessorCores();

// A set of pieces run on a pool and waited for together; the first failure is raised by Wait.
class TTaskGroup {
public:
    explicit TTaskGroup(TWorkerPool& pool) : pool_(pool) {}
    ~TTaskGroup();
    TTaskGroup(const TTaskGroup&) = delete;
    TTaskGroup& operator=(const TTaskGroup&) = delete;

    void Run(std::function<void()> task);
    void Wait();

private:
    TWorkerPool& pool_;
    std::mutex mutex_;
    std::size_t pending_ = 0;
    std::exception_ptr failure_;
};

} // namespace gz
