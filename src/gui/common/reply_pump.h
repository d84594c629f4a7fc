#pragma once

namespace varn {

// What one read notification of the socket does: the replies waiting there are
// dispatched, a few at a time.

class Link;

// At most this many replies per notification: one pass of the event loop per
// datagram fell behind a burst of 100,000 a second on a busy machine and the
// receive buffer overflowed, while a short batch still lets timers, paints and
// keys in between.
inline constexpr int kRepliesPerNotification = 32;

// Dispatches one reply, then more while the socket fd has datagrams waiting, up
// to kRepliesPerNotification in all.
void dispatchWaitingReplies(Link& link, int fd);

} // namespace varn
