#include "gui/common/reply_pump.h"

#include "link/link.h"

#include <poll.h>

namespace varn {

void dispatchWaitingReplies(Link& link, int fd) {
    for (int i = 0; i < kRepliesPerNotification; ++i) {
        link.dispatchReply();
        pollfd waiting{fd, POLLIN, 0};
        if (poll(&waiting, 1, 0) != 1) {
            return;
        }
    }
}

} // namespace varn
