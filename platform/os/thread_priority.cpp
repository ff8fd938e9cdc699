#include "platform/os/thread_priority.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace varnel::platform {

namespace {

// Steps below the process's priority: enough that the window's thread wins
// a contended processor, not so many that the workers starve behind other
// programs.
constexpr int kLowerBy = 5;

} // namespace

void LowerCurrentThreadPriority() noexcept {
    // On Linux, PRIO_PROCESS with a thread id sets that thread's nice value.
    const auto thread = static_cast<id_t>(::syscall(SYS_gettid));
    const int current = ::getpriority(PRIO_PROCESS, thread);
    ::setpriority(PRIO_PROCESS, thread, current + kLowerBy);
}

} // namespace varnel::platform
