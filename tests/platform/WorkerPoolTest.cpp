// The worker pool under the way the codecs use it: many short task groups, each waited for and
// destroyed at once while the workers may still be finishing their last piece.

#include "platform/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>

namespace gz {
namespace {

TEST(WorkerPool, AGroupMayBeDestroyedAsSoonAsItsWaitReturns)
{
    TWorkerPool pool(3);
    std::atomic<int> ran{0};
    for (int round = 0; round < 20000; ++round) {
        // On the heap, so that a worker touching the group after its last piece is reported.
        auto group = std::make_unique<TTaskGroup>(pool);
        group->Run([&] { ++ran; });
        if (round % 3 == 0)
            group->Run([&] { ++ran; });
        group->Wait();
        group.reset();
    }
    EXPECT_EQ(ran.load(), 20000 + 6667);
}

TEST(WorkerPool, TheFirstFailureOfAGroupIsRaisedByWaitOnce)
{
    TWorkerPool pool(2);
    TTaskGroup group(pool);
    std::atomic<int> ran{0};
    for (int i = 0; i < 8; ++i)
        group.Run([&, i] {
            ++ran;
            if (i == 5)
                throw std::runtime_error("piece 5");
        });
    EXPECT_THROW(group.Wait(), std::runtime_error);
    EXPECT_EQ(ran.load(), 8);
    EXPECT_NO_THROW(group.Wait());
}

} // namespace
} // namespace gz
