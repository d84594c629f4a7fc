#pragma once
// Test doubles for the link layer: an in-memory datagram port and a user
// interface that records everything shown to the user.

#include "link/link.h"
#include "link/user_interface.h"
#include "protocol/datagram_port.h"
#include "protocol/device_config.h"
#include "protocol/wire.h"
#include "selftest/self_test.h"
#include "selftest/selftest_state.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace varn::fakes {

using Bytes = std::vector<std::uint8_t>;

// Bytes from a string literal that may hold NULs: bytes("ab\0c", 4).
inline Bytes bytes(const char* text, std::size_t length) {
    return Bytes(reinterpret_cast<const std::uint8_t*>(text),
                 reinterpret_cast<const std::uint8_t*>(text) + length);
}
template <std::size_t N> Bytes bytes(const char (&text)[N]) {
    return bytes(text, N - 1);
}

inline Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

// A reply of `type` (bit 7 set) of `length` bytes, payload zero.
inline Bytes reply(std::uint8_t type, std::size_t length) {
    Bytes d(std::max<std::size_t>(length, 8), 0);
    std::memcpy(d.data(), "Quorix", 6);
    d[6] = std::uint8_t(type | kReplyBit);
    d.resize(length);
    return d;
}

inline void put(Bytes& d, std::size_t at, const Bytes& what) {
    std::copy(what.begin(), what.end(), d.begin() + std::ptrdiff_t(at));
}

struct SentDatagram {
    Bytes data;
    std::uint32_t address;
};

// A datagram waiting to be read, and who sent it (0: unknown).
struct QueuedDatagram {
    Bytes data;
    std::uint32_t source = 0;
};

class MemoryPort : public DatagramPort {
  public:
    std::vector<SentDatagram> sent;
    std::deque<QueuedDatagram> incoming;
    // As the real endpoint: every datagram's sender is known, and a reply
    // queued without one comes from 0.0.0.0, which answers nothing.
    bool sourcesKnown = false;
    bool knowsSources() const override { return sourcesKnown; }

    void queue(Bytes datagram, std::uint32_t source = 0) {
        incoming.push_back({std::move(datagram), source});
    }

    int sendDatagram(const std::uint8_t* buffer, std::size_t length,
                     std::uint32_t address) override {
        sent.push_back({Bytes(buffer, buffer + length), address});
        return 0;
    }
    int receiveDatagram(std::uint8_t* buffer, std::size_t size,
                        DatagramInfo* info = nullptr) override {
        if (incoming.empty())
            return -1;
        const QueuedDatagram d = incoming.front();
        incoming.pop_front();
        const std::size_t n = std::min(size, d.data.size());
        std::memcpy(buffer, d.data.data(), n);
        if (info) {
            info->length = n;
            info->source = d.source;
        }
        return 0;
    }

    // Types of the requests sent so far, in order.
    std::vector<int> sentTypes() const {
        std::vector<int> types;
        for (const auto& d : sent)
            types.push_back(d.data.size() > 6 ? d.data[6] : -1);
        return types;
    }
    int count(int type) const {
        int n = 0;
        for (int t : sentTypes())
            n += t == type;
        return n;
    }
};

// Records what the link shows, one line per call: "message W: ...", "message I: ...",
// "enable 1038", "disable 1041", "status ...", "timer 18 100", "terminal".
class RecordingUi : public UserInterface {
  public:
    std::vector<std::string> events;
    bool terminalAnswer = false;          // what runLoginTerminal returns
    std::function<void()> duringTerminal; // runs inside runLoginTerminal

    void showMessage(const std::string& text, MessageIcon icon) override {
        events.push_back(std::string(icon == MessageIcon::Warning ? "message W: " : "message I: ") +
                         text);
    }
    void setSelfTestControl(SelfTestControl control, bool enabled) override {
        events.push_back((enabled ? "enable " : "disable ") + std::to_string(int(control)));
    }
    void setSelfTestStatus(const std::string& text) override { events.push_back("status " + text); }
    void startSelfTestTimer(int id, int ms) override {
        events.push_back("timer " + std::to_string(id) + " " + std::to_string(ms));
    }
    bool runLoginTerminal() override {
        events.push_back("terminal");
        if (duringTerminal)
            duringTerminal();
        return terminalAnswer;
    }
};

// A link over a test port, with its own block, self-test and user interface.
template <typename Port = MemoryPort, typename Ui = RecordingUi> struct LinkOver {
    Port port;
    DeviceConfig config;
    SelfTestState selfTest; // the self-test's state
    Ui ui = makeUi();
    Link link{port, config, ui};
    SelfTest test{link, selfTest, config, ui};

  private:
    Ui makeUi() {
        if constexpr (std::is_constructible_v<Ui, const SelfTestState&>)
            return Ui(selfTest);
        else
            return Ui();
    }
};

// text padded with spaces to a display row's width (or another).
inline std::string padded(const std::string& text, std::size_t width = kRowWidth) {
    std::string s = text;
    s.resize(width, ' ');
    return s;
}

} // namespace varn::fakes
