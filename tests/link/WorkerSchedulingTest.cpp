// Real-time scheduling for the worker: what it reports is what the thread got, whether the
// system allows real-time or not, and the worker runs either way.
#include <gtest/gtest.h>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

#include "link/WorkerScheduling.h"

namespace oculant {
namespace {

// Asks on a thread of its own (the test's thread stays as it is) and says what went wrong,
// empty when the claim agrees with the thread's policy.
std::string askAndCheck(WorkerScheduling& got)
{
    std::string problem;
    std::thread([&] {
        got = requestRealtimeScheduling();
        int policy = 0;
        sched_param param{};
        pthread_getschedparam(pthread_self(), &policy, &param);
        const int expected = got.kind == SchedulingKind::Fifo          ? SCHED_FIFO
                             : got.kind == SchedulingKind::RealtimeKit ? SCHED_RR
                                                                       : SCHED_OTHER;
        if (policy != expected)
            problem = "claimed " + schedulingText(got) + ", policy " + std::to_string(policy);
        else if (got.kind != SchedulingKind::Normal && param.sched_priority != got.priority)
            problem = "priority " + std::to_string(param.sched_priority) + ", claimed " + std::to_string(got.priority);
        else if (got.kind == SchedulingKind::Normal &&
                 (got.detail.find("SCHED_FIFO: ") == std::string::npos || got.detail.find("RealtimeKit: ") == std::string::npos))
            problem = "normal scheduling without the reasons: " + schedulingText(got);
    }).join();
    return problem;
}

// In a child process: an ordinary user with no real-time limit.
int askAsOrdinaryUser()
{
    const rlimit none{0, 0};
    setrlimit(RLIMIT_RTPRIO, &none);
    if (setgid(65534) != 0 || setuid(65534) != 0)
        return 2;
    WorkerScheduling user;
    const std::string problem = askAndCheck(user);
    std::fputs((problem + " | " + schedulingText(user)).c_str(), stderr);
    return problem.empty() && user.kind != SchedulingKind::Fifo ? 0 : 1;
}

TEST(WorkerSchedulingDeathTest, the_claim_agrees_with_the_thread_with_and_without_the_right_to_real_time)
{
    WorkerScheduling got;
    EXPECT_EQ(askAndCheck(got), "");
    EXPECT_NE(got.kind, SchedulingKind::Pending);
    if (geteuid() != 0)
        return;
    EXPECT_EQ(got.kind, SchedulingKind::Fifo) << "root may set SCHED_FIFO itself";
    // Without the right, the fallbacks are asked and the thread runs normally, or RealtimeKit
    // grants it; never a failure.
    EXPECT_EXIT(std::_Exit(askAsOrdinaryUser()), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace oculant
