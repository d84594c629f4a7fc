#pragma once
// What the Login Terminal does that needs no widget: the echo of the typed line
// after the received text, the text its display shows, and the recording of each
// entered line, with the prompt the ISP sent before it, as the appliance's login
// script.

#include "protocol/device_config.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace varn {

struct SelfTestState;

// What a line entry takes of the input line.
inline constexpr std::size_t kEnteredLineSize = 16;
// The display keeps this many of the last lines in view.
inline constexpr int kTerminalLinesInView = 18;

// Copies the typed line (at most 32 characters) with its NUL into terminalText at
// terminalEnd, without moving terminalEnd, when it differs from lastTypedLine, and
// marks the buffer dirty. What does not fit in the buffer is not shown. True when
// the line changed.
bool echoTypedLine(SelfTestState& selfTest, std::string_view typed);

// The display's text: the received text (NULs left out, so that one NUL from the
// ISP does not hide everything after it) and the echo after it, line ends as '\n'.
std::string terminalDisplayText(const SelfTestState& selfTest);

enum class LineRecord {
    Recorded,
    NoFreePrompt,      // a fifth distinct prompt
    NoRoomForResponse, // the response would run past the 48-byte area
};

// What request 5 carries after a line entry: the recorded response of
// scriptSlot (its length, and at most 32 of its bytes), or the line the script
// had no room for. Offsets that came from the appliance never make it read
// outside the response area.
struct LoginResponse {
    std::uint16_t length = 0;
    std::string text;
};
LoginResponse loginResponse(const SelfTestState& state, const DeviceConfig& config);

// Records an entered line under the prompt before it: the echo is cut off, the
// prompt is matched against the four slots (a new slot otherwise) and the line is
// stored as that slot's response; scriptSlot names the slot. Offsets after the
// slot are raised to at least its new end, so they never decrease. A line that
// does not fit is not recorded at all: it is kept as unrecordedLine for request 5.
LineRecord recordEnteredLine(SelfTestState& selfTest, DeviceConfig& config, std::string_view line);

} // namespace varn
