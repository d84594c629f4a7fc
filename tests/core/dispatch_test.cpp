// Reply dispatch: what each reply does to the shared state, and that replies
// which are not ours, or malformed, do nothing they should not.

#include "core/fakes.h"
#include "link/link.h"
#include "protocol/device_config.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace varn;
using namespace varn::fakes;

const std::uint32_t kTarget = makeAddress(10, 0, 0, 9);

class DispatchTest : public ::testing::Test, protected LinkOver<> {
  protected:
    void SetUp() override {
        link.setTargetAddress(kTarget);
        asked(kDiscover);
    }

    // Request `type` went out (and is now outstanding); nothing of it is kept.
    void asked(int type) {
        if (type == kLogin)
            link.sendLogin(kLoginPpp);
        else
            link.sendRequest(type);
        port.sent.clear();
    }

    void dispatch(const Bytes& d) {
        port.queue(d);
        link.dispatchReply();
    }
    // A new discovery request: what answers after it is new again.
    void rediscover() {
        link.sendRequest(kDiscover);
        port.sent.clear();
    }

    static Bytes discovery(const Bytes& name12, std::uint32_t address, std::uint8_t state,
                           std::uint32_t local = makeAddress(10, 0, 0, 1)) {
        Bytes d = reply(1, 29);
        put(d, 8, name12);
        std::memcpy(d.data() + 20, &address, 4);
        d[24] = state;
        std::memcpy(d.data() + 25, &local, 4);
        return d;
    }
    static Bytes name(const char* text) {
        Bytes n(12, 0);
        std::memcpy(n.data(), text, std::min<std::size_t>(12, std::strlen(text)));
        return n;
    }
    static Bytes terminalData(const Bytes& data, std::size_t claimed) {
        Bytes d = reply(5, 10);
        d[8] = std::uint8_t(claimed);
        d[9] = std::uint8_t(claimed >> 8);
        d.insert(d.end(), data.begin(), data.end());
        return d;
    }
    static Bytes terminalData(const Bytes& data) { return terminalData(data, data.size()); }
};

TEST_F(DispatchTest, DiscoveryBuildsOneRowPerAppliance) {
    dispatch(discovery(name("BOX7"), makeAddress(10, 0, 0, 9), 5, makeAddress(10, 0, 0, 1)));
    ASSERT_EQ(link.devices().deviceCount(), 1);
    EXPECT_EQ(link.devices().entry(0).rowText(),
              padded("BOX7         \t10.0.0.9       \tISP Connected  "));
    EXPECT_TRUE(link.newDeviceSeen());
    EXPECT_EQ(port.localAddress, makeAddress(10, 0, 0, 1));

    // The same appliance again adds nothing; the local address is learned only once.
    rediscover();
    dispatch(discovery(name("BOX7"), makeAddress(10, 0, 0, 9), 0, makeAddress(10, 0, 0, 77)));
    EXPECT_EQ(link.devices().deviceCount(), 1);
    EXPECT_FALSE(link.newDeviceSeen());

    // A full-width name, and states of 6 and more listed as Ready.
    dispatch(discovery(name("ABCDEFGHIJKL"), makeAddress(192, 168, 100, 200), 6,
                       makeAddress(10, 0, 0, 77)));
    dispatch(discovery(name("BOX8"), makeAddress(10, 0, 0, 8), 255, makeAddress(10, 0, 0, 88)));
    ASSERT_EQ(link.devices().deviceCount(), 3);
    EXPECT_EQ(link.devices().entry(1).rowText(),
              padded("ABCDEFGHIJKL \t192.168.100.200\tReady          "));
    EXPECT_EQ(link.devices().entry(2).rowText(),
              padded("BOX8         \t10.0.0.8       \tReady          "));
    EXPECT_EQ(port.localAddress, makeAddress(10, 0, 0, 1));
    EXPECT_EQ(link.devices().entry(1).nameText(), "ABCDEFGHIJKL");
    EXPECT_EQ(link.devices().entry(1).address, makeAddress(192, 168, 100, 200));
}

// A tab or a line end in a name would shift the columns or fake the address.
TEST_F(DispatchTest, ControlCharactersInNamesShowAsBlanks) {
    dispatch(discovery(bytes("EVIL\t1.2.3.4\n", 12), makeAddress(10, 0, 0, 9), 0));
    ASSERT_EQ(link.devices().deviceCount(), 1);
    EXPECT_EQ(link.devices().entry(0).rowText(),
              padded("EVIL 1.2.3.4 \t10.0.0.9       \tReady          "));
    EXPECT_EQ(dottedText(link.devices().entry(0).address), "10.0.0.9");
    // The same appliance again is recognised as listed.
    dispatch(discovery(bytes("EVIL\t1.2.3.4\n", 12), makeAddress(10, 0, 0, 9), 0));
    EXPECT_EQ(link.devices().deviceCount(), 1);
}

TEST_F(DispatchTest, DiscoveryWithoutNameAddsNoRow) {
    dispatch(discovery(name(""), makeAddress(10, 0, 0, 9), 0));
    EXPECT_EQ(link.devices().deviceCount(), 0);
    EXPECT_FALSE(link.newDeviceSeen());
    EXPECT_EQ(port.localAddress, 0u);
}

TEST_F(DispatchTest, DiscoveryMatchesTheWholeAddressAndTheNameAsShown) {
    // Same name, and an address that is a prefix of the listed one: another appliance.
    dispatch(discovery(name("BOX"), makeAddress(10, 0, 0, 12), 0));
    dispatch(discovery(name("BOX"), makeAddress(10, 0, 0, 1), 0));
    EXPECT_EQ(link.devices().deviceCount(), 2);

    // Bytes after the name's terminator do not make the appliance new each time.
    dispatch(discovery(bytes("GW\0garbage!!", 12), makeAddress(10, 0, 0, 3), 0));
    dispatch(discovery(bytes("GW\0garbage!!", 12), makeAddress(10, 0, 0, 3), 0));
    ASSERT_EQ(link.devices().deviceCount(), 3);
    EXPECT_EQ(link.devices().entry(2).rowText(),
              padded("GW           \t10.0.0.3       \tReady          "));
}

TEST_F(DispatchTest, AFiftyFirstApplianceIsNotListed) {
    for (int i = 0; i < kTableRows; ++i)
        dispatch(discovery(name("BOX"), makeAddress(10, 0, 1, std::uint8_t(i)), 0));
    ASSERT_EQ(link.devices().deviceCount(), kTableRows);
    const std::string last = link.devices().entry(kTableRows - 1).rowText();
    rediscover();
    dispatch(discovery(name("EXTRA"), makeAddress(10, 0, 2, 1), 0));
    EXPECT_EQ(link.devices().deviceCount(), kTableRows);
    EXPECT_EQ(link.devices().entry(kTableRows - 1).rowText(), last);
    EXPECT_FALSE(link.newDeviceSeen());
    EXPECT_EQ(link.selectedIndex(), 0); // the field after the rows is untouched
}

// Everything a stray datagram could change.
struct Snapshot {
    Bytes state;
    explicit Snapshot(const Link& l, const SelfTestState& t, const DeviceConfig& c,
                      const MemoryPort& p) {
        auto add = [&](const void* at, std::size_t n) {
            const auto* b = static_cast<const std::uint8_t*>(at);
            state.insert(state.end(), b, b + n);
        };
        auto addText = [&](const std::string& text) { add(text.data(), text.size()); };
        auto addValue = [&](auto value) { add(&value, sizeof value); };
        addValue(l.awaitedReply());
        addValue(l.targetAddress());
        addValue(l.newDeviceSeen());
        addValue(l.devices().deviceCount());
        for (int i = 0; i < kTableRows; ++i)
            addText(l.devices().entry(i).rowText());
        addValue(l.monitor().monitorCount());
        for (int i = 0; i < kTableRows; ++i)
            addText(l.monitor().entry(i).rowText());
        addText(l.proxyFirmwareVersion());
        addValue(l.configReceived());
        add(&t.loginKind, 1);
        add(&t.pppSeen, 1);
        add(&t.scriptSlot, 4);
        if (t.terminalText)
            add(t.terminalText.get(), kTerminalTextSize);
        add(&t.terminalEnd, sizeof t.terminalEnd);
        add(&t.terminalDirty, 1);
        add(&t.hangupAfterSuccess, 1);
        add(c.data(), DeviceConfig::kSize);
        add(&p.localAddress, 4);
    }
    bool operator==(const Snapshot&) const = default;
};

TEST_F(DispatchTest, RepliesThatAreNotOursChangeNothing) {
    asked(33);
    const Snapshot before(link, selfTest, config, port);

    Bytes request = discovery(name("BOX7"), makeAddress(10, 0, 0, 9), 0);
    request[6] = 1; // bit 7 clear: a request, e.g. our own broadcast
    dispatch(request);
    Bytes config2 = reply(2, 520);
    config2[6] = 2;
    dispatch(config2);
    for (int type : {37, 100, 127}) {
        Bytes d = reply(std::uint8_t(type), 520);
        std::memset(d.data() + 8, 0x41, 512);
        dispatch(d);
    }
    for (int type : {0, 6, 10, 16, 32, 34, 35}) { // slots without a handler
        Bytes d = reply(std::uint8_t(type), 520);
        std::memset(d.data() + 8, 0x41, 512);
        dispatch(d);
    }
    dispatch(bytes("Quorix")); // no type byte at all
    link.dispatchReply();      // nothing queued

    EXPECT_TRUE(Snapshot(link, selfTest, config, port) == before);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_TRUE(ui.events.empty());
}

// Anyone on the LAN can send replies: those that answer nothing we asked, or that
// belong to a self-test when none runs, change nothing and send nothing.
TEST_F(DispatchTest, UnaskedRepliesChangeNothing) {
    selfTest.obtainTerminalText();
    asked(33);
    const Snapshot before(link, selfTest, config, port);

    Bytes block = reply(2, 520);
    std::memset(block.data() + 8, 0x41, 512);
    dispatch(block); // no read awaited
    for (int type : {7, 8, 9, 11, 12, 13, 14, 15})
        dispatch(reply(std::uint8_t(type), 8)); // acknowledging what we never sent
    Bytes dial = reply(3, 9);
    dispatch(dial);
    dial[8] = 4;
    dispatch(dial);
    Bytes login = reply(4, 9);
    dispatch(login);
    dispatch(terminalData(bytes("login:")));
    dispatch(terminalData(bytes("\x7e\xff\x7d\x23\xc0\x21\x7d", 7)));

    EXPECT_TRUE(Snapshot(link, selfTest, config, port) == before);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_TRUE(ui.events.empty());
}

TEST_F(DispatchTest, AReplyClearsTheMarkerOnlyWhenItAnswersTheAwaitedRequest) {
    for (int type : {7, 11, 12, 13, 14, 15}) {
        asked(std::uint8_t(type));
        // Another request's answer (0x87 also answers 15: not that one here).
        dispatch(reply(std::uint8_t(type == 7 || type == 15 ? 11 : 7), 8));
        EXPECT_EQ(link.awaitedReply(), type);
        dispatch(reply(std::uint8_t(type), 8));
        EXPECT_EQ(link.awaitedReply(), 0) << type;
    }
    // A late firmware reply does not end the wait for the configuration.
    asked(2);
    dispatch(reply(33, 56));
    EXPECT_EQ(link.awaitedReply(), 2);
    EXPECT_TRUE(port.sent.empty());
}

TEST_F(DispatchTest, TheResetIsAnnouncedOncePerResetAskedFor) {
    link.sendRequest(kReset);
    dispatch(reply(8, 8));
    dispatch(reply(8, 8)); // repeated
    EXPECT_EQ(link.awaitedReply(), 0);
    EXPECT_EQ(ui.events, std::vector<std::string>{"message I: VARN : Device is resetting now."});
}

TEST_F(DispatchTest, ConfigurationReplyReplacesTheBlockWhenItIsAwaitedAndWhole) {
    Bytes d = reply(2, 520);
    for (std::size_t i = 8; i < d.size(); ++i)
        d[i] = std::uint8_t(i);
    put(d, 8 + DeviceConfig::kDeviceName, bytes("BOX7\0\0\0\0\0\0\0\0", 12));
    link.chooseDevice(DeviceEntry{shownName("BOX7"), kTarget, 0});
    link.sendRequest(kReadConfig);
    const DeviceConfig before = config;

    // Cut short by two bytes, or from another host than the one asked: ignored.
    port.queue(Bytes(d.begin(), d.end() - 2), kTarget);
    port.queue(d, makeAddress(10, 0, 0, 66));
    link.dispatchReply();
    link.dispatchReply();
    EXPECT_TRUE(config == before);
    EXPECT_EQ(link.awaitedReply(), kReadConfig);
    EXPECT_FALSE(link.configReceived());

    port.queue(d, kTarget);
    link.dispatchReply();
    EXPECT_EQ(Bytes(config.data(), config.data() + 512), Bytes(d.begin() + 8, d.end()));
    EXPECT_EQ(link.awaitedReply(), 0);
    EXPECT_TRUE(link.configReceived());
}

TEST_F(DispatchTest, BytesAShortReplyLacksReadAsZero) {
    // A long datagram first, so that stale bytes would show if the buffer were reused.
    Bytes noise = reply(100, 1536);
    std::memset(noise.data() + 8, 0xEE, 1528);
    dispatch(noise);

    Bytes shortVersions = reply(33, 26);
    put(shortVersions, 24, bytes("V2"));
    asked(33);
    dispatch(shortVersions);
    EXPECT_EQ(link.proxyFirmwareVersion(), "V2");

    // The same through handleDatagram, which the fuzz target uses.
    asked(33);
    link.handleDatagram(reply(33, 56).data(), 56); // an empty version
    asked(33);
    link.handleDatagram(shortVersions.data(), shortVersions.size());
    EXPECT_EQ(link.proxyFirmwareVersion(), "V2");
}

TEST_F(DispatchTest, FirmwareVersionIsKeptAsText) {
    Bytes d = reply(33, 56);
    put(d, 8, bytes("ignored ignored "));
    put(d, 24, bytes("V2.31"));
    put(d, 40, bytes("MODEM 1.0"));
    asked(33);
    dispatch(d);
    EXPECT_EQ(link.proxyFirmwareVersion(), "V2.31");
    EXPECT_EQ(link.awaitedReply(), 0);

    put(d, 24, bytes("0123456789ABCDEF"));
    asked(33);
    dispatch(d);
    EXPECT_EQ(link.proxyFirmwareVersion(), "0123456789ABCDEF");
}

class SelfTestDispatch : public DispatchTest {
  protected:
    void SetUp() override {
        DispatchTest::SetUp();
        config.setPhoneNumber("5551234");
        config.setPppUserName("alice");
        config.setPppPassword("secret");
        selfTest.running = true;
        selfTest.loginKind = kLoginUndecided;
        ASSERT_TRUE(selfTest.obtainTerminalText());
    }
    std::uint8_t lastSentType() const { return port.sent.back().data.at(6); }
    const char* text() const { return selfTest.terminalText.get(); }
};

TEST_F(SelfTestDispatch, DialResult) {
    std::memset(selfTest.terminalText.get(), 'x', 300); // an earlier dial's text
    selfTest.terminalEnd = 300;
    asked(3);
    Bytes ok = reply(3, 9);
    dispatch(ok);
    EXPECT_EQ(link.awaitedReply(), 5);
    EXPECT_EQ(selfTest.terminalEnd, 0u);
    EXPECT_STREQ(text(), "");
    EXPECT_EQ(ui.events, (std::vector<std::string>{"disable 1038", "disable 1041", "enable 1039",
                                                   "status Terminal Mode Login ..."}));
    EXPECT_TRUE(port.sent.empty());

    // The same result again (the LAN delivered it twice) does nothing more.
    ui.events.clear();
    selfTest.terminalEnd = 20;
    dispatch(ok);
    EXPECT_TRUE(ui.events.empty());
    EXPECT_EQ(selfTest.terminalEnd, 20u);

    Bytes failed = reply(3, 9);
    failed[8] = 4;
    asked(3);
    dispatch(failed);
    EXPECT_EQ(ui.events, std::vector<std::string>{"status Dial Error - No dial tone"});
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].data, bytes("Quorix\x09\0"));
    EXPECT_EQ(port.sent[0].address, kTarget);
    EXPECT_EQ(link.awaitedReply(), 9);
    dispatch(failed);
    EXPECT_EQ(port.sent.size(), 1u);

    ui.events.clear();
    failed[8] = 200;
    asked(3);
    dispatch(failed);
    EXPECT_EQ(ui.events, std::vector<std::string>{"status Dial Error - code 200"});
}

TEST_F(SelfTestDispatch, LoginResultAlwaysHangsUp) {
    asked(4);
    dispatch(reply(4, 9));
    EXPECT_TRUE(selfTest.hangupAfterSuccess);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"disable 1040", "enable 1041",
                                                   "status Success ! Now, hang up phone ..."}));
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(lastSentType(), 9);
    EXPECT_EQ(link.awaitedReply(), 9);

    // The same result again shows nothing and does not hang up twice.
    ui.events.clear();
    dispatch(reply(4, 9));
    EXPECT_TRUE(ui.events.empty());
    EXPECT_EQ(port.sent.size(), 1u);

    // The hang-up acknowledgement after a success finishes the test.
    dispatch(reply(9, 8));
    EXPECT_EQ(link.awaitedReply(), 0);
    EXPECT_FALSE(selfTest.hangupAfterSuccess);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"disable 2", "enable 1", "status Device ready !",
                                                   "timer 18 100"}));
    ui.events.clear();
    dispatch(reply(9, 8));
    EXPECT_TRUE(ui.events.empty());

    Bytes failed = reply(4, 9);
    failed[8] = 3;
    dispatch(failed); // no login awaited: nothing
    EXPECT_TRUE(ui.events.empty());
    asked(4);
    dispatch(failed);
    EXPECT_EQ(ui.events, std::vector<std::string>{"status PPP Error - IPCP Negotiation Failed !"});
    EXPECT_FALSE(selfTest.hangupAfterSuccess);
    EXPECT_EQ(port.sentTypes(), std::vector<int>{kHangUp});
}

TEST_F(SelfTestDispatch, FirstTextOpensTheLoginTerminalWithAClearedScript) {
    config.setLoginMode(LoginMode::Ppp);
    config.setScriptResponses({"old", "script", "", ""});
    config.bytes[217] = 0x99; // just after the login area
    selfTest.pppSeen = true;
    selfTest.scriptSlot = 3;
    selfTest.unrecordedLine = "left over";
    bool sawClearedScript = false;
    ui.duringTerminal = [&] {
        sawClearedScript = config.loginMode() == 1 &&
                           Bytes(config.data() + 132, config.data() + 217) == Bytes(85, 0);
        // Replies keep coming while the terminal runs.
        dispatch(terminalData(bytes("Password:")));
    };
    dispatch(terminalData(bytes("login:")));

    EXPECT_TRUE(sawClearedScript);
    EXPECT_EQ(config.bytes[217], 0x99);
    EXPECT_EQ(selfTest.loginKind, kLoginTerminal);
    EXPECT_EQ(selfTest.scriptSlot, -1);
    EXPECT_FALSE(selfTest.unrecordedLine);
    EXPECT_FALSE(selfTest.pppSeen);
    EXPECT_TRUE(selfTest.terminalDirty);
    EXPECT_STREQ(text(), "login:Password:");
    EXPECT_EQ(selfTest.terminalEnd, 15u);
    // Not ended with OK: hang up.
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(lastSentType(), 9);
}

TEST_F(SelfTestDispatch, LoginTerminalEndedWithOkSendsNothing) {
    ui.terminalAnswer = true;
    dispatch(terminalData(bytes("login:")));
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(ui.events, std::vector<std::string>{"terminal"});
}

TEST_F(SelfTestDispatch, PppFramingStartsThePppLogin) {
    dispatch(terminalData(bytes("\x7e\xff\x7d\x23\xc0\x21\x7d", 7)));
    EXPECT_EQ(selfTest.loginKind, kLoginPpp);
    EXPECT_EQ(config.loginMode(), 2);
    EXPECT_TRUE(selfTest.pppSeen);
    EXPECT_EQ(selfTest.terminalEnd, 0u);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"disable 1039", "disable 1041", "enable 1040",
                                                   "status PPP Connecting ..."}));
    ASSERT_EQ(port.sent.size(), 1u);
    Bytes login = concat({bytes("Quorix\x04\0\x02", 9), bytes("alice"), Bytes(27, 0),
                          bytes("secret"), Bytes(14, 0)});
    EXPECT_EQ(port.sent[0].data, login);

    // Terminal data during a PPP login is ignored.
    ui.events.clear();
    dispatch(terminalData(bytes("more text")));
    EXPECT_EQ(selfTest.terminalEnd, 0u);
    EXPECT_EQ(port.sent.size(), 1u);
    EXPECT_TRUE(ui.events.empty());
}

TEST_F(SelfTestDispatch, PppAfterATerminalLoginLogsInWithKindOne) {
    selfTest.loginKind = kLoginTerminal;
    dispatch(terminalData(bytes("welcome\r\n")));
    EXPECT_TRUE(port.sent.empty());
    dispatch(terminalData(bytes("xx\x7e\xff\x7d\x23\x01\x02\x03", 9)));
    EXPECT_EQ(selfTest.loginKind, kLoginTerminal);
    ASSERT_EQ(port.sent.size(), 1u);
    Bytes login = bytes("Quorix\x04\0\x01", 9);
    login.resize(61, 0);
    EXPECT_EQ(port.sent[0].data, login);
}

TEST_F(SelfTestDispatch, TerminalDataLengthIsBoundByWhatArrived) {
    selfTest.loginKind = kLoginTerminal;
    dispatch(terminalData(bytes("hello"), 1000));
    EXPECT_EQ(selfTest.terminalEnd, 5u);
    EXPECT_STREQ(text(), "hello");
    dispatch(terminalData(bytes("abcdef"), 3));
    EXPECT_STREQ(text(), "helloabc");
}

TEST_F(SelfTestDispatch, FullTerminalBufferCutsTextAndSaysSoOnce) {
    selfTest.loginKind = kLoginTerminal;
    selfTest.terminalEnd = kTerminalTextSize - 10;
    dispatch(terminalData(Bytes(20, 'x')));
    EXPECT_EQ(selfTest.terminalEnd, kTerminalTextSize - 1);
    EXPECT_EQ(text()[kTerminalTextSize - 2], 'x');
    EXPECT_EQ(text()[kTerminalTextSize - 1], 0);
    dispatch(terminalData(Bytes(20, 'y')));
    EXPECT_EQ(selfTest.terminalEnd, kTerminalTextSize - 1);
    EXPECT_EQ(text()[kTerminalTextSize - 1], 0);

    EXPECT_EQ(ui.events,
              std::vector<std::string>{
                  "message W: VARN : Terminal buffer is full, further text is not shown."});
    EXPECT_EQ(selfTest.loginKind, kLoginTerminal); // the login goes on
    EXPECT_TRUE(port.sent.empty());

    // A new dial starts a fresh buffer, and a new warning when it fills.
    asked(3);
    dispatch(reply(3, 9));
    EXPECT_FALSE(selfTest.terminalOverflowReported);
}

TEST(TerminalScan, ShortDataIsNeverScannedForPpp) {
    SelfTestState selfTest;
    ASSERT_TRUE(selfTest.obtainTerminalText());
    auto append = [&](const std::uint8_t* data, std::size_t n) {
        return selfTest.appendTerminalData(data, n, nullptr);
    };
    const std::uint8_t six[6] = {0x7E, 0xFF, 0x7D, 0x23, 0x41, 0x42};
    EXPECT_EQ(append(six, 6), 1);
    EXPECT_FALSE(selfTest.pppSeen);
    EXPECT_EQ(selfTest.terminalEnd, 6u);

    // Framing that starts in the last six positions is not seen either.
    const std::uint8_t late[8] = {'a', 'b', 0x7E, 0xFF, 0x7D, 0x23, 'c', 'd'};
    EXPECT_EQ(append(late, 8), 1);
    const std::uint8_t early[8] = {'a', 0x7E, 0xFF, 0x7D, 0x23, 'b', 'c', 'd'};
    EXPECT_EQ(append(early, 8), 2);
    EXPECT_TRUE(selfTest.pppSeen);
    EXPECT_EQ(selfTest.terminalEnd, 14u);

    // Once seen, text is no longer stored.
    const std::uint8_t text[3] = {'x', 'y', 'z'};
    EXPECT_EQ(append(text, 3), 2);
    EXPECT_EQ(selfTest.terminalEnd, 14u);

    // Bytes after a NUL inside the data are stored as NULs.
    selfTest.pppSeen = false;
    selfTest.terminalEnd = 0;
    const std::uint8_t withNul[5] = {'a', 0, 'b', 'c', 'd'};
    EXPECT_EQ(append(withNul, 5), 1);
    const char* t = selfTest.terminalText.get();
    EXPECT_EQ(Bytes(t, t + 6), (Bytes{'a', 0, 0, 0, 0, 0}));
    EXPECT_EQ(selfTest.terminalEnd, 5u);
}

} // namespace
