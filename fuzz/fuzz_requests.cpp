// Builds every request from random shared state and hands each one to the
// appliance simulator's request decoder, which was written on its own: what
// the utility sends, the appliance must accept, and read back as meant.
//
// Input: raw type selector, raw type, row selector, script slot, login kind,
// target selector (bit 0: four address bytes follow), unrecorded line selector
// (bit 7: a line the Login Terminal could not record, bits 0-5 its length, at
// most 32, the bytes follow), rows built, rows in use, then 17 bytes per row
// (name 12, address 4, state), then the record's bytes (the rest of the record
// is zero).

#include "codec.h"
#include "fuzz_support.h"
#include "link/link.h"
#include "link/user_interface.h"
#include "protocol/datagram_port.h"
#include "protocol/device_config.h"
#include "protocol/wire.h"
#include "selftest/selftest_state.h"
#include "selftest/terminal_recorder.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace {

using namespace varn;
using fuzz::check;

class DecodingPort : public DatagramPort {
  public:
    const Link* link = nullptr;
    int sent = 0;
    std::optional<sim::Request> decoded;

    int sendDatagram(const std::uint8_t* buffer, std::size_t length,
                     std::uint32_t address) override {
        fuzz::checkRequest(buffer, length, address, link->targetAddress());
        std::string why;
        decoded = sim::decodeRequest(buffer, length, &why);
        check(decoded.has_value());
        ++sent;
        return 0;
    }
    int receiveDatagram(std::uint8_t*, std::size_t, DatagramInfo*) override { return -1; }
};

// The chosen appliance's name field as the appliance reads it: trailing blanks gone.
std::string rowName(const Link& link) {
    std::string name(link.chosenDevice().name.data(), link.chosenDevice().name.size());
    while (!name.empty() && name.back() == ' ')
        name.pop_back();
    return name;
}

std::uint32_t hostOrder(std::uint32_t networkOrder) {
    return std::uint32_t(addressOctet(networkOrder, 0)) << 24 |
           std::uint32_t(addressOctet(networkOrder, 1)) << 16 |
           std::uint32_t(addressOctet(networkOrder, 2)) << 8 | addressOctet(networkOrder, 3);
}

// What the decoder read must be what the record and the table hold.
void checkFields(const sim::Request& r, const Link& link, const DeviceConfig& config,
                 const SelfTestState& selfTest, std::uint32_t selectedAddress) {
    switch (r.type) {
    case kReadConfig:
        check(r.name == rowName(link));
        break;
    case kDial:
        check(r.phoneNumber == config.phoneNumber());
        break;
    case kLogin:
        check(r.loginKind == selfTest.loginKind);
        if (r.loginKind != kLoginPpp)
            break;
        [[fallthrough]];
    case kPppAccount:
        check(r.userName == config.pppUserName());
        check(r.password == config.pppPassword().substr(0, kPppPasswordOnTheWire));
        break;
    case kTerminalResponse: {
        if (selfTest.unrecordedLine) {
            // The line itself travels, up to its first NUL and at most 32 bytes.
            const std::string& line = *selfTest.unrecordedLine;
            const std::size_t n = std::min<std::size_t>(line.size(), 32);
            check(r.responseLength == n);
            check(r.response == line.substr(0, std::min(n, line.find('\0'))));
            break;
        }
        const ScriptSpan span = config.scriptSpan(selfTest.scriptSlot);
        check(r.responseLength == span.length);
        check(r.response.size() <= std::min<std::size_t>(span.length, 32));
        break;
    }
    case kSetIpAddress:
        check(r.name == rowName(link));
        check(r.currentAddress == hostOrder(selectedAddress));
        check(r.newAddress == hostOrder(config.lanIpAddress()));
        break;
    case kWriteConfig:
        check(std::memcmp(r.bytes.data() + 8, config.data(), DeviceConfig::kSize) == 0);
        break;
    default:
        break;
    }
}

struct Rig {
    DecodingPort port;
    SilentUserInterface ui;
    DeviceConfig config;
    SelfTestState selfTest;
    Link link{port, config, ui};
    Rig() { port.link = &link; }
};

// Row selector: a row that was built (in use, or left from before the table
// was last emptied), or an index outside the table.
std::int32_t selectedIndex(std::uint8_t b, int built) {
    static constexpr std::int32_t kOutside[] = {-1,      kTableRows, kTableRows + 1, INT_MIN,
                                                INT_MAX, -128,       1000,           -50};
    if (b < 0xC0 && built > 0)
        return b % built;
    return kOutside[b % 8];
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Rig rig;
    Link& link = rig.link;
    fuzz::Input in(data, size);

    const std::uint8_t typeSelector = in.byte();
    const std::uint8_t rawType = in.byte();
    const std::uint8_t rowSelector = in.byte();
    rig.selfTest.scriptSlot = fuzz::scriptSlot(in.byte());
    rig.selfTest.loginKind = in.byte();
    std::uint32_t target = kBroadcastAddress;
    if (in.byte() & 1) {
        const auto [p, n] = in.take(4);
        std::uint8_t a[4] = {};
        std::memcpy(a, p, n);
        target = makeAddress(a[0], a[1], a[2], a[3]);
    }
    rig.selfTest.unrecordedLine.reset();
    if (const std::uint8_t line = in.byte(); line & 0x80) {
        const auto [p, n] = in.take((line & 0x3F) % 33);
        rig.selfTest.unrecordedLine = std::string(reinterpret_cast<const char*>(p), n);
    }
    const int built = in.byte() % (kTableRows + 1);
    const int inUse = built == 0 ? 0 : in.byte() % (built + 1);

    // Rows as discovery writes them: a listed name never starts with NUL. The
    // chosen one (in use, or left from before the table was last emptied) is
    // what the requests name; an index outside the table names a blank one.
    (void)inUse;
    const std::int32_t chosen = selectedIndex(rowSelector, built);
    DeviceEntry entry;
    entry.name.fill(' ');
    for (int i = 0; i < built; ++i) {
        std::uint8_t row[17] = {};
        const auto [p, n] = in.take(sizeof row);
        std::memcpy(row, p, n);
        if (row[0] == 0)
            row[0] = 'A';
        if (i != chosen)
            continue;
        entry.name = shownName(row);
        std::memcpy(&entry.address, row + 12, 4);
        entry.state = row[16];
    }
    link.chooseDevice(entry);

    rig.config.bytes.fill(0);
    const auto [record, recordLength] = in.take(DeviceConfig::kSize);
    if (recordLength > 0)
        std::memcpy(rig.config.data(), record, recordLength);

    const std::uint32_t selectedAddress = entry.address;

    // The raw type first, then the whole catalogue; 13 last since it moves the
    // target to the broadcast address.
    int types[fuzz::kCatalogueSize + 1];
    int count = 0;
    types[count++] = fuzz::requestType(typeSelector, rawType);
    for (const fuzz::CatalogueEntry& e : fuzz::kCatalogue)
        if (e.type != kSetIpAddress)
            types[count++] = e.type;
    types[count++] = kSetIpAddress;

    for (int i = 0; i < count; ++i) {
        link.setTargetAddress(target);
        rig.port.sent = 0;
        rig.port.decoded.reset();
        // 4 and 5 are the self-test's: it builds them from its state.
        if (types[i] == kLogin) {
            link.sendLogin(rig.selfTest.loginKind);
        } else if (types[i] == kTerminalResponse) {
            const LoginResponse r = loginResponse(rig.selfTest, rig.config);
            link.sendTerminalResponse(r.length, r.text);
        } else {
            link.sendRequest(types[i]);
        }
        check(link.awaitedReply() == std::uint8_t(types[i]));
        if (!fuzz::catalogueEntry(types[i])) {
            check(rig.port.sent == 0);
            continue;
        }
        check(rig.port.sent == 1 && rig.port.decoded->type == types[i]);
        checkFields(*rig.port.decoded, link, rig.config, rig.selfTest, selectedAddress);
    }
    return 0;
}
