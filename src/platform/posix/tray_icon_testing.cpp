// Linux has no icon to post to.
#include "platform/tray_icon_testing.h"

namespace platform {

bool PostTrayCommand(unsigned, unsigned, long) { return false; }

}  // namespace platform
