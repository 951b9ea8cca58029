#include "platform/WorkerPool.h"

#include <algorithm>
#include <memory>

namespace gz {

TWorkerPool::TWorkerPool(int threads) : threads_(std::max(threads, 1))
{
    for (int i = 1; i < threads_; ++i)
        workers_.emplace_back([this] { Work(); });
}

TWorkerPool::~TWorkerPool()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : workers_)
        t.join();
}

void TWorkerPool::Submit(std::function<void()> task)
{
    if (workers_.empty()) {
        task();
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(std::move(task));
    }
    wake_.notify_one();
    finished_.notify_all(); // a waiter may run it
}

bool TWorkerPool::RunOne(std::unique_lock<std::mutex>& lock)
{
    if (queue_.empty())
        return false;
    std::function<void()> task = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    task();
    lock.lock();
    finished_.notify_all();
    return true;
}

void TWorkerPool::Work()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty())
            return; // stopping
        RunOne(lock);
    }
}

void TWorkerPool::WaitUntil(const std::function<bool()>& done)
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!done()) {
        if (!RunOne(lock))
            finished_.wait(lock, [&] { return !queue_.empty() || done(); });
    }
}

void TWorkerPool::Notify()
{
    { std::lock_guard<std::mutex> lock(mutex_); }
    finished_.notify_all();
}

int ProcessorCores() { return int(std::max(1u, std::thread::hardware_concurrency())); }

namespace {
std::unique_ptr<TWorkerPool> shared;
int sharedThreads = 0;
std::mutex sharedMutex;
} // namespace

void SetWorkerThreads(int threads)
{
    std::lock_guard<std::mutex> lock(sharedMutex);
    const int n = threads > 0 ? threads : ProcessorCores();
    if (shared && shared->Threads() == n)
        return;
    shared.reset();
    sharedThreads = n;
}

TWorkerPool& SharedWorkers()
{
    std::lock_guard<std::mutex> lock(sharedMutex);
    if (!shared)
        shared = std::make_unique<TWorkerPool>(sharedThreads > 0 ? sharedThreads : ProcessorCores());
    return *shared;
}

TTaskGroup::~TTaskGroup()
{
    try {
        Wait();
    } catch (...) {
        // The failure was the caller's to collect; it has moved on already.
    }
}

void TTaskGroup::Run(std::function<void()> task)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        ++pending_;
    }
    pool_.Submit([this, &pool = pool_, task = std::move(task)] {
        std::exception_ptr failure;
        try {
            task();
        } catch (...) {
            failure = std::current_exception();
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (failure && !failure_)
                failure_ = failure;
            --pending_;
        }
        // Once pending_ is 0 the waiter may have returned and destroyed the group: from here
        // on only the pool, which outlives it, may be touched.
        pool.Notify();
    });
}

void TTaskGroup::Wait()
{
    pool_.WaitUntil([this] {
        std::lock_guard<std::mutex> lock(mutex_);
        return pending_ == 0;
    });
    std::lock_guard<std::mutex> lock(mutex_);
    if (failure_) {
        const std::exception_ptr failure = failure_;
        failure_ = nullptr;
        std::rethrow_exception(failure);
    }
}

} // namespace gz
