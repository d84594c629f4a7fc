#include "link/discovery_sweep.h"

#include "link/link.h"

namespace varn {

void DiscoverySweep::start() {
    link_.clearDevices();
    link_.sendRequest(kDiscover);
}

bool DiscoverySweep::continues() {
    if (!link_.newDeviceSeen())
        return false;
    link_.sendRequest(kDiscover);
    return true;
}

bool DiscoverySweep::recheck() {
    if (rechecksLeft_ <= 0)
        return false;
    --rechecksLeft_;
    link_.sendRequest(kDiscover);
    return true;
}

} // namespace varn
