#pragma once
// One conversation with the appliances: the endpoint, the link's shared state,
// and varnctl's own event loop in place of the dialogs' timers and the main
// frame's socket notifications. Replies are dispatched as they arrive, and a
// waiting step looks at the shared state when its time comes, exactly as the
// dialogs do on their timers.

#include "link/link.h"
#include "link/request_poll.h"
#include "link/user_interface.h"
#include "protocol/device_config.h"
#include "protocol/endpoint.h"

#include <cstdint>
#include <set>
#include <string>

namespace varnctl {

// Shows what the link and the endpoint have to say on standard error, each
// distinct message once (a resend that fails again says nothing new).
class ConsoleUi : public varn::SilentUserInterface {
  public:
    void showMessage(const std::string& text, varn::MessageIcon icon) override;

  private:
    std::set<std::string> shown_;
};

// SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE end waits early instead of the
// program, so that an appliance is never left in the middle of a write.
void installInterruptHandlers();
bool interrupted();

class Session {
  public:
    Session(const varn::EndpointSettings& settings, varn::UserInterface& ui);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the endpoint; false with the reason in *error.
    bool open(std::string* error);

    varn::Link& link() { return link_; }
    varn::UdpEndpoint& endpoint() { return endpoint_; }
    varn::DeviceConfig& config() { return config_; }

    // Dispatches every reply that arrives within ms milliseconds. False when
    // interrupted, unless not interruptible.
    bool pump(int ms, bool interruptible = true);

    enum class Wait { Answered, GaveUp, Interrupted };
    // Sends the plan's request and waits the plan's tries and intervals.
    Wait await(varn::PollPlan plan, bool interruptible = true);

    // A discovery sweep: broadcast, then at each discovery interval broadcast
    // again if a new appliance answered, until an interval brings none and at
    // least minimumMs have passed. False when interrupted.
    bool sweep(int minimumMs);

  private:
    class Watcher : public varn::SocketWatcher {
      public:
        bool watchSocket(int fd) override { return fd >= 0; }
    };

    Watcher watcher_;
    varn::UdpEndpoint endpoint_;
    varn::DeviceConfig config_;
    varn::Link link_;
};

} // namespace varnctl
