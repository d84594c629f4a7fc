#include "devices/devices_state.h"

DevicesState& devicesState() {
    static DevicesState state;
    return state;
}
