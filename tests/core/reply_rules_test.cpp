// Which reply answers which request, and from where: what an appliance made
// for this protocol may send is taken, what another host on the LAN forges is
// not. The port here knows every sender, as the real endpoint does.

#include "core/fakes.h"
#include "link/link.h"
#include "protocol/device_config.h"
#include "selftest/self_test.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

namespace {

using namespace varn;
using namespace varn::fakes;

const std::uint32_t kAppliance = makeAddress(10, 0, 0, 9);
const std::uint32_t kForger = makeAddress(10, 0, 0, 66);

class ReplyRules : public ::testing::Test, protected LinkOver<> {
  protected:
    void SetUp() override {
        port.sourcesKnown = true;
        link.setTargetAddress(kAppliance);
    }
    void from(std::uint32_t source, const Bytes& d) {
        link.handleDatagram(d.data(), d.size(), source);
    }
    static Bytes discovery(const char* name, std::uint32_t address) {
        Bytes d = reply(kDiscover, 29);
        std::memcpy(d.data() + 8, name, std::strlen(name));
        std::memcpy(d.data() + 20, &address, 4);
        return d;
    }
    static Bytes status(const char* name, std::uint8_t state) {
        Bytes d = reply(kStatusPoll, 28);
        std::memcpy(d.data() + 8, name, std::strlen(name));
        d[20] = state;
        return d;
    }
    static Bytes block(const char* name) {
        Bytes d = reply(kReadConfig, 520);
        std::memset(d.data() + 8, 0x33, 512);
        std::memset(d.data() + 8 + DeviceConfig::kDeviceName, 0, 12);
        std::memcpy(d.data() + 8 + DeviceConfig::kDeviceName, name, std::strlen(name));
        return d;
    }
};

TEST_F(ReplyRules, AnAcknowledgementCountsOnlyFromWhereTheRequestWent) {
    link.sendRequest(kWriteConfig);
    from(kForger, reply(kWriteConfig, 8));
    EXPECT_EQ(link.awaitedReply(), kWriteConfig);
    from(kAppliance, reply(kWriteConfig, 8));
    EXPECT_EQ(link.awaitedReply(), 0);

    // A reset acknowledged by another host says nothing; the appliance's does.
    link.sendRequest(kReset);
    from(kForger, reply(kReset, 8));
    EXPECT_TRUE(ui.events.empty());
    from(kAppliance, reply(kReset, 8));
    EXPECT_EQ(ui.events, std::vector<std::string>{"message I: VARN : Device is resetting now."});
}

// What appliances made for the protocol send: 0x87 for the account as well as
// 0x8F, and acknowledgements of seven bytes (no zero after the type).
TEST_F(ReplyRules, WhatRealAppliancesSendIsTaken) {
    for (std::uint8_t answer : {kPppAccount, kWriteConfig}) {
        link.sendRequest(kPppAccount);
        from(kAppliance, reply(answer, 8));
        EXPECT_EQ(link.awaitedReply(), 0) << int(answer);
        EXPECT_FALSE(link.outstanding(kPppAccount));
    }
    for (int type : {kWriteConfig, kHangUp, kSetIpAddress, kPppAccount}) {
        link.setTargetAddress(kAppliance);
        link.sendRequest(type);
        from(kAppliance, reply(std::uint8_t(type), 7));
        EXPECT_EQ(link.awaitedReply(), 0) << type;
    }
}

// Answers are kept per request: one to an earlier request still counts after a
// later one was sent, and a repeated one does nothing.
TEST_F(ReplyRules, EachRequestIsAnsweredOnce) {
    link.sendRequest(kBeginConfig);
    link.sendRequest(kVersions);
    from(kAppliance, reply(kBeginConfig, 8));
    EXPECT_FALSE(link.outstanding(kBeginConfig));
    EXPECT_EQ(link.awaitedReply(), kVersions); // the marker names the later request
    Bytes versions = reply(kVersions, 56);
    std::memcpy(versions.data() + 24, "V2", 2);
    from(kAppliance, versions);
    EXPECT_EQ(link.proxyFirmwareVersion(), "V2");
    std::memcpy(versions.data() + 24, "V3", 2);
    from(kAppliance, versions); // late: answered already
    EXPECT_EQ(link.proxyFirmwareVersion(), "V2");
}

// The set-IP request goes by broadcast to an appliance on another network: its
// answer comes from wherever it is.
TEST_F(ReplyRules, ABroadcastRequestIsAnsweredFromAnyAddress) {
    link.chooseDevice(DeviceEntry{shownName("FAR"), makeAddress(172, 16, 0, 5), 0});
    link.sendRequest(kSetIpAddress);
    from(makeAddress(172, 16, 0, 5), reply(kSetIpAddress, 8));
    EXPECT_EQ(link.awaitedReply(), 0);
}

TEST_F(ReplyRules, TheBlockComesFromTheApplianceAskedUnderTheNameAsked) {
    link.chooseDevice(DeviceEntry{shownName("OFFICE"), kAppliance, 0});
    link.sendRequest(kReadConfig);
    from(kForger, block("OFFICE"));
    from(kAppliance, block("LAB")); // another name than the one request 2 carried
    EXPECT_FALSE(link.configReceived());
    EXPECT_EQ(config.deviceName(), "");
    from(kAppliance, block("OFFICE"));
    EXPECT_TRUE(link.configReceived());
    EXPECT_EQ(config.deviceName(), "OFFICE");
}

TEST_F(ReplyRules, OneHostIsOneAppliance) {
    link.sendRequest(kDiscover);
    from(kAppliance, discovery("OFFICE", kAppliance));
    for (const char* name : {"ALPHA", "BETA", "OFFICE"})
        from(kForger, discovery(name, makeAddress(10, 0, 0, 99)));
    from(kForger, discovery("LAB", kForger)); // the same host under another name
    ASSERT_EQ(link.devices().deviceCount(), 2);
    EXPECT_EQ(link.devices().entry(1).nameText(), "ALPHA");
    // Two appliances under one name are both listed (the Device List warns).
    from(makeAddress(10, 0, 0, 10), discovery("OFFICE", makeAddress(10, 0, 0, 10)));
    EXPECT_EQ(link.devices().deviceCount(), 3);
}

TEST_F(ReplyRules, AListedNameReportsItsStateFromItsOwnAddressOnly) {
    link.sendRequest(kDiscover);
    from(kAppliance, discovery("OFFICE", kAppliance));
    link.sendRequest(kStatusPoll);
    from(kForger, status("OFFICE", 6));
    EXPECT_EQ(link.monitor().monitorCount(), 0);
    from(kAppliance, status("OFFICE", 5));
    from(kForger, status("STRANGER", 1)); // not listed: anyone may report it
    ASSERT_EQ(link.monitor().monitorCount(), 2);
    EXPECT_EQ(link.monitor().entry(0).state, 5);
}

class SelfTestRules : public ReplyRules {
  protected:
    void SetUp() override {
        ReplyRules::SetUp();
        config.setPhoneNumber("5551234");
        ASSERT_TRUE(test.obtainTerminalText());
        test.begin(view);
        test.setClock([this] { return now; });
    }
    void TearDown() override { test.end(view); }
    static Bytes result(int type, std::uint8_t code) {
        Bytes d = reply(std::uint8_t(type), 9);
        d[8] = code;
        return d;
    }
    static Bytes text(const std::string& data) {
        Bytes d = reply(kTerminalResponse, 10);
        writeLe16(d.data() + 8, std::uint16_t(data.size()));
        d.insert(d.end(), data.begin(), data.end());
        return d;
    }
    void dialled() {
        link.sendRequest(kDial);
        from(kAppliance, result(kDial, 0));
    }
    class NoView : public SelfTestView {
        void setControlEnabled(SelfTestControl, bool) override {}
        void setStatusText(const std::string&) override {}
        void startTimer(int, int) override {}
        bool runLoginTerminal() override { return false; }
    } view;
    SelfTest::Clock::time_point now{};
    const std::string ppp = std::string("\x7e\xff\x7d\x23\xc0\x21\x7d", 7);
};

TEST_F(SelfTestRules, ResultsAndTextComeFromTheApplianceUnderTest) {
    link.sendRequest(kDial);
    from(kForger, result(kDial, 3));
    EXPECT_TRUE(ui.events.empty());
    from(kAppliance, result(kDial, 0));
    EXPECT_EQ(link.awaitedReply(), kTerminalResponse);

    config.setLoginMode(LoginMode::Ppp);
    config.setPppUserName("alice");
    from(kForger, text("\r\nOWNED> "));
    EXPECT_EQ(selfTest.loginKind, kLoginUndecided);
    EXPECT_EQ(config.pppUserName(), "alice"); // the account area is untouched
    EXPECT_STREQ(selfTest.terminalText.get(), "");

    from(kAppliance, text(ppp));
    EXPECT_EQ(selfTest.loginKind, kLoginPpp);
    from(kForger, result(kLogin, 0));
    EXPECT_FALSE(selfTest.hangupAfterSuccess);
}

// A line typed in the Login Terminal after the login went out replaces the
// marker; the login's result still counts.
TEST_F(SelfTestRules, TheLoginResultCountsAfterATypedLine) {
    ui.terminalAnswer = true;
    dialled();
    from(kAppliance, text("login: "));
    ASSERT_EQ(selfTest.loginKind, kLoginTerminal);
    from(kAppliance, text(ppp));
    ASSERT_TRUE(link.outstanding(kLogin));
    test.enterLine("late");
    from(kAppliance, result(kLogin, 0));
    EXPECT_TRUE(selfTest.hangupAfterSuccess);
}

// An ISP repeats its first PPP frame until it is answered: the login goes out
// again at most every 300 ms, never once its result came, and the hang-up
// after it still ends the test on "Device ready !".
TEST_F(SelfTestRules, RepeatedPppFramesDoNotFloodTheApplianceNorLoseTheEnd) {
    ui.terminalAnswer = true;
    dialled();
    from(kAppliance, text("login: "));
    port.sent.clear();
    from(kAppliance, text(ppp));
    from(kAppliance, text(ppp));
    now += std::chrono::milliseconds(299);
    from(kAppliance, text(ppp));
    EXPECT_EQ(port.count(kLogin), 1);
    now += std::chrono::milliseconds(1);
    from(kAppliance, text(ppp));
    EXPECT_EQ(port.count(kLogin), 2);

    from(kAppliance, result(kLogin, 0));
    ASSERT_EQ(link.awaitedReply(), kHangUp);
    now += std::chrono::seconds(5);
    from(kAppliance, text(ppp));
    EXPECT_EQ(port.count(kLogin), 2);
    EXPECT_EQ(link.awaitedReply(), kHangUp);
    ui.events.clear();
    from(kAppliance, reply(kHangUp, 8));
    EXPECT_NE(std::find(ui.events.begin(), ui.events.end(), "status Device ready !"),
              ui.events.end());
}

} // namespace
