// For tests that drive the bridge's icon from outside: posts a menu command
// id to the icon window of a running bridge, as the menu itself would.
#pragma once

namespace platform {

// Looks for the icon window of the process `processId` (a top-level one,
// then a message-only one; other bridges running at the time have windows
// of the same class) for up to `waitMilliseconds`, then posts WM_COMMAND
// with `id`. False when no window was found or the post failed (always on
// Linux, which has no icon).
bool PostTrayCommand(unsigned id, unsigned waitMilliseconds, long processId);

}  // namespace platform
