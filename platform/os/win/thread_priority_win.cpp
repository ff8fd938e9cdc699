#include "platform/os/thread_priority.h"

#include "platform/os/win/wide_text.h"

namespace varnel::platform {

void LowerCurrentThreadPriority() noexcept {
    ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
}

} // namespace varnel::platform
