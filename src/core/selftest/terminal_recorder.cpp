#include "selftest/terminal_recorder.h"

#include "protocol/wire.h"
#include "selftest/selftest_state.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace varn {

namespace {

std::string_view upToNul(std::string_view text) {
    return text.substr(0, text.find('\0'));
}

// The write position, kept inside the buffer with room for its NUL.
std::size_t endOf(const SelfTestState& selfTest) {
    return std::min(selfTest.terminalEnd, kTerminalTextSize - 1);
}

} // namespace

bool echoTypedLine(SelfTestState& selfTest, std::string_view typed) {
    typed = upToNul(typed.substr(0, kTypedLineSize));
    if (typed == std::string_view(selfTest.lastTypedLine))
        return false;
    std::memcpy(selfTest.lastTypedLine, typed.data(), typed.size());
    selfTest.lastTypedLine[typed.size()] = 0;
    if (selfTest.terminalText) {
        const std::size_t end = endOf(selfTest);
        const std::size_t n = std::min(typed.size(), kTerminalTextSize - 1 - end);
        std::memcpy(selfTest.terminalText.get() + end, typed.data(), n);
        selfTest.terminalText[end + n] = 0;
    }
    selfTest.terminalDirty = true;
    return true;
}

std::string terminalDisplayText(const SelfTestState& selfTest) {
    if (!selfTest.terminalText)
        return {};
    const char* text = selfTest.terminalText.get();
    const std::size_t end = endOf(selfTest);
    std::string raw;
    raw.reserve(end + kTypedLineSize);
    std::copy_if(text, text + end, std::back_inserter(raw), [](char c) { return c != 0; });
    for (std::size_t i = end; i < kTerminalTextSize && text[i] != 0; ++i)
        raw += text[i];

    // CR LF, a lone CR and a lone LF each end a line.
    std::string shown;
    shown.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r') {
            shown += '\n';
            if (i + 1 < raw.size() && raw[i + 1] == '\n')
                ++i;
        } else {
            shown += raw[i];
        }
    }
    return shown;
}

namespace {

bool isLineEnd(char c) {
    return c == '\r' || c == '\n';
}

// The prompt before a typed line: the last up to 8 characters before end, from
// the start of the last line that has text in them, every NUL, carriage return
// and line feed in it as a blank. The buffer is left as it is, so the display
// keeps its line ends.
std::string takePrompt(const char* text, std::size_t end) {
    const std::size_t n = std::min(end, DeviceConfig::kScriptPromptSize);
    std::string prompt(text + end - n, n);
    std::size_t lastText = n;
    while (lastText > 0 && isLineEnd(prompt[lastText - 1]))
        --lastText;
    std::size_t start = 0;
    for (std::size_t i = 0; i < lastText; ++i) {
        if (isLineEnd(prompt[i]))
            start = i + 1;
    }
    prompt.erase(0, start);
    for (char& c : prompt) {
        if (c == '\0' || isLineEnd(c))
            c = ' ';
    }
    return prompt;
}

// A slot holds the prompt when their texts up to the first NUL, at most 8
// characters, are the same.
bool slotHolds(const std::uint8_t* slot, const std::string& prompt) {
    for (std::size_t i = 0; i < DeviceConfig::kScriptPromptSize; ++i) {
        const auto c = std::uint8_t(i < prompt.size() ? prompt[i] : 0);
        if (slot[i] != c)
            return false;
        if (c == 0)
            return true;
    }
    return true;
}

} // namespace

LoginResponse loginResponse(const SelfTestState& state, const DeviceConfig& config) {
    if (state.unrecordedLine) {
        const std::string& line = *state.unrecordedLine;
        const std::size_t n = std::min<std::size_t>(line.size(), 32);
        return {std::uint16_t(n), line.substr(0, n)};
    }
    const ScriptSpan span = config.scriptSpan(state.scriptSlot);
    const auto* responses =
        reinterpret_cast<const char*>(config.data() + DeviceConfig::kScriptResponses);
    return {std::uint16_t(span.length),
            std::string(responses + span.begin, std::min<std::size_t>(span.length, 32))};
}

LineRecord recordEnteredLine(SelfTestState& selfTest, DeviceConfig& config, std::string_view line) {
    selfTest.unrecordedLine.reset();
    std::string prompt;
    if (selfTest.terminalText) {
        const std::size_t end = endOf(selfTest);
        selfTest.terminalText[end] = 0; // the echo is cut off
        prompt = takePrompt(selfTest.terminalText.get(), end);
    }

    std::uint8_t* prompts = config.data() + DeviceConfig::kScriptPrompts;
    std::uint8_t* offsets = config.data() + DeviceConfig::kScriptOffsets;
    std::uint8_t* responses = config.data() + DeviceConfig::kScriptResponses;
    constexpr int kPairs = int(DeviceConfig::kScriptPairs);

    int slot = -1;
    for (int i = 0; i < kPairs && slot < 0; ++i) {
        if (slotHolds(prompts + std::size_t(i) * DeviceConfig::kScriptPromptSize, prompt))
            slot = i;
    }
    const bool isNew = slot < 0;
    if (isNew) {
        // The slot after the last one used; scriptSlot is shared state, so any
        // value must lead to a slot or to a refusal, never to an overflow.
        slot = std::clamp(selfTest.scriptSlot, -1, kPairs) + 1;
    } else {
        selfTest.scriptSlot = slot;
    }

    const auto refuse = [&](LineRecord why) {
        selfTest.unrecordedLine = std::string(line);
        return why;
    };
    if (slot >= kPairs)
        return refuse(LineRecord::NoFreePrompt);
    const std::size_t begin = slot == 0 ? 0 : offsets[slot];
    if (begin > DeviceConfig::kScriptResponsesSize ||
        line.size() > DeviceConfig::kScriptResponsesSize - begin)
        return refuse(LineRecord::NoRoomForResponse);

    if (isNew) {
        config.setScriptPrompt(slot, prompt);
        selfTest.scriptSlot = slot;
    }
    std::memcpy(responses + begin, line.data(), line.size());
    const auto newEnd = std::uint8_t(begin + line.size());
    offsets[slot + 1] = newEnd;
    for (int k = slot + 2; k < int(DeviceConfig::kScriptOffsetCount); ++k)
        offsets[k] = std::max(offsets[k], newEnd);
    return LineRecord::Recorded;
}

} // namespace varn
