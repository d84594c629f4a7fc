#pragma once
// A discovery sweep, as the Device List and varnctl run it: empty the device
// table and broadcast; at the end of each discovery interval broadcast again
// when the interval brought a new appliance, and end at the first that brought
// none. After it, a few more broadcasts find the appliances whose answer (or
// our broadcast) was lost; they add rows without emptying the table.

#include "link/request_plans.h"

namespace varn {

class Link;

class DiscoverySweep {
  public:
    explicit DiscoverySweep(Link& link) : link_(link) {}

    // Empties the table and broadcasts; the first look comes kDiscoveryInterval later.
    void start();
    // At the end of an interval: true, and the broadcast sent again, when the
    // interval brought a new appliance; false when the sweep is over.
    bool continues();

    // After the sweep: `count` more broadcasts, one per recheck().
    void startRechecks(int count) { rechecksLeft_ = count; }
    // One more broadcast; false (and nothing sent) when none is left.
    bool recheck();
    void stopRechecks() { rechecksLeft_ = 0; }
    bool rechecking() const { return rechecksLeft_ > 0; }

  private:
    Link& link_;
    int rechecksLeft_ = 0;
};

} // namespace varn
