#pragma once
// How long and how often the utility waits for each answer it needs from an
// appliance. The dialogs and the command-line tool take their waits from here,
// so both speak to an appliance with the same rhythm.

#include "link/request_poll.h"

namespace varn {

// A discovery sweep broadcasts again at each interval that brought a new
// appliance and ends at the first that brought none.
inline constexpr int kDiscoveryInterval = 100;
// After an empty sweep the Device List sweeps again this much later.
inline constexpr int kEmptySweepDelay = 5000;
// The Status Monitor's first refresh after its first poll, then its period.
inline constexpr int kStatusFirstRefresh = 300;
inline constexpr int kStatusRefreshInterval = 3000;

// The Config chain: the firmware-versions query (33), three tries 100 ms apart;
// it also shows whether the appliance answers at all.
PollPlan versionsPlan();
// The Config chain: the read-configuration request (2), five tries, the first
// look after 100 ms and then every 200 ms. Only a block just read from the
// chosen appliance counts as the answer.
PollPlan readConfigPlan();
// The set-IP broadcast (13): sent once, looked at after 1800 ms.
PollPlan setIpPlan();
// The configuration save (7): sent once, looked at every 300 ms, ten times.
PollPlan saveConfigPlan();
// The reset (8) that makes a saved block take effect: waited for as the save is.
PollPlan resetPlan();

} // namespace varn
