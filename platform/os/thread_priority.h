#pragma once

// Thread priority: worker threads of the window's reports run below the
// window's own thread, so a busy machine still gives the window its turns.

namespace varnel::platform {

// Lowers the calling thread's scheduling priority a few steps (on Linux its
// own nice value; the other threads of the process keep theirs). Only
// advice: nothing fails.
void LowerCurrentThreadPriority() noexcept;

} // namespace varnel::platform
