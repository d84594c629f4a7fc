// Every request type, byte for byte, against datagrams written out by hand.

#include "core/fakes.h"
#include "link/link.h"
#include "link/request_poll.h"
#include "protocol/device_config.h"
#include "selftest/terminal_recorder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace varn;
using namespace varn::fakes;

const std::uint32_t kTarget = makeAddress(10, 0, 0, 9);

class RequestTest : public ::testing::Test, protected LinkOver<> {
  protected:
    void SetUp() override { link.setTargetAddress(kTarget); }

    void choose(const char* name, std::uint32_t address) {
        link.chooseDevice(DeviceEntry{shownName(name), address, 0});
    }

    const SentDatagram& sendOne(int type) {
        link.sendRequest(type);
        EXPECT_EQ(link.awaitedReply(), type);
        EXPECT_EQ(port.sent.size(), 1u);
        return port.sent.back();
    }
};

TEST_F(RequestTest, RequestsWithoutPayloadAreTheBareHeader) {
    struct {
        int type;
        std::uint32_t to;
        Bytes expected;
    } cases[] = {
        {1, kBroadcastAddress, bytes("Quorix\x01\0")},
        {8, kTarget, bytes("Quorix\x08\0")},
        {9, kTarget, bytes("Quorix\x09\0")},
        {11, kTarget, bytes("Quorix\x0b\0")},
        {12, kTarget, bytes("Quorix\x0c\0")},
        {14, kTarget, bytes("Quorix\x0e\0")},
        {33, kTarget, bytes("Quorix\x21\0")},
        {36, kBroadcastAddress, bytes("Quorix\x24\0")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type);
        port.sent.clear();
        const SentDatagram& d = sendOne(c.type);
        EXPECT_EQ(d.data, c.expected);
        EXPECT_EQ(d.address, c.to);
    }
    EXPECT_EQ(link.targetAddress(), kTarget);
}

TEST_F(RequestTest, DiscoveryClearsNewDeviceSeen) {
    Bytes found = reply(1, 29);
    put(found, 8, bytes("BOX7"));
    link.sendRequest(kDiscover);
    link.handleDatagram(found.data(), found.size());
    ASSERT_TRUE(link.newDeviceSeen());
    port.sent.clear();
    sendOne(1);
    EXPECT_FALSE(link.newDeviceSeen());
}

TEST_F(RequestTest, TypeOutsideTheCatalogueSendsNothingButIsAwaited) {
    for (int type : {0, 6, 10, 16, 34, 200}) {
        link.sendRequest(type);
        EXPECT_EQ(link.awaitedReply(), type);
    }
    EXPECT_TRUE(port.sent.empty());
}

TEST_F(RequestTest, ReadConfigCarriesTheSpacePaddedName) {
    choose("BOX7", makeAddress(10, 0, 0, 9));
    EXPECT_EQ(sendOne(2).data, bytes("Quorix\x02\0BOX7        "));
    EXPECT_EQ(port.sent.back().address, kTarget);

    port.sent.clear();
    choose("ABCDEFGHIJKL", makeAddress(10, 0, 0, 10));
    EXPECT_EQ(sendOne(2).data, bytes("Quorix\x02\0ABCDEFGHIJKL"));
}

TEST_F(RequestTest, SetIpAddressIsBroadcastWithZeroPaddedNameAndBothAddresses) {
    config.setLanIpAddress(makeAddress(192, 168, 1, 254));

    choose("BOX7", makeAddress(10, 0, 0, 9));
    const SentDatagram& d = sendOne(13);
    EXPECT_EQ(d.data, bytes("Quorix\x0d\0"
                            "BOX7\0\0\0\0\0\0\0\0"
                            "\x0a\x00\x00\x09"
                            "\xc0\xa8\x01\xfe",
                            28));
    EXPECT_EQ(d.address, kBroadcastAddress);
    EXPECT_EQ(link.targetAddress(), kBroadcastAddress);

    // Later unicast requests go to the broadcast address too.
    port.sent.clear();
    sendOne(33);
    EXPECT_EQ(port.sent.back().address, kBroadcastAddress);

    // Only trailing spaces become zeros; a full name has no terminator.
    port.sent.clear();
    choose("MY ROUTER", makeAddress(172, 16, 0, 1));
    EXPECT_EQ(sendOne(13).data, bytes("Quorix\x0d\0"
                                      "MY ROUTER\0\0\0"
                                      "\xac\x10\x00\x01"
                                      "\xc0\xa8\x01\xfe",
                                      28));
    port.sent.clear();
    choose("ABCDEFGHIJKL", makeAddress(10, 0, 0, 10));
    EXPECT_EQ(sendOne(13).data, bytes("Quorix\x0d\0"
                                      "ABCDEFGHIJKL"
                                      "\x0a\x00\x00\x0a"
                                      "\xc0\xa8\x01\xfe",
                                      28));
}

TEST_F(RequestTest, DialCarriesThePhoneNumber) {
    config.setPhoneNumber("5551234");
    EXPECT_EQ(sendOne(3).data, bytes("Quorix\x03\0"
                                     "5551234\0\0\0\0\0\0\0\0\0",
                                     24));
    port.sent.clear();
    config.setPhoneNumber("0123456789012345");
    EXPECT_EQ(sendOne(3).data, bytes("Quorix\x03\0"
                                     "0123456789012345"));
}

TEST_F(RequestTest, LoginCarriesTheAccountOnlyForPpp) {
    config.setPppUserName("alice");
    config.setPppPassword("abcdefghijklmnopqrstuvwxy");

    Bytes terminal = bytes("Quorix\x04\0\x01", 9);
    terminal.resize(61, 0);
    link.sendLogin(kLoginTerminal);
    EXPECT_EQ(port.sent.back().data, terminal);
    EXPECT_EQ(link.awaitedReply(), kLogin);

    Bytes ppp = concat({bytes("Quorix\x04\0\x02", 9), bytes("alice"), Bytes(27, 0),
                        bytes("abcdefghijklmnopqrst")});
    ASSERT_EQ(ppp.size(), 61u);
    link.sendLogin(kLoginPpp);
    EXPECT_EQ(port.sent.back().data, ppp);
    EXPECT_EQ(port.sent.back().address, kTarget);
}

TEST_F(RequestTest, PppAccountCarriesUserAndTwentyPasswordBytes) {
    config.setPppUserName("0123456789abcdef0123456789ABCDEF"); // fills the field
    config.setPppPassword("pw");
    Bytes expected = concat({bytes("Quorix\x0f\0"), bytes("0123456789abcdef0123456789ABCDEF"),
                             bytes("pw"), Bytes(18, 0)});
    ASSERT_EQ(expected.size(), 60u);
    EXPECT_EQ(sendOne(15).data, expected);
}

TEST_F(RequestTest, WriteConfigCarriesTheWholeBlock) {
    Bytes expected = bytes("Quorix\x07\0");
    for (std::size_t i = 0; i < DeviceConfig::kSize; ++i) {
        config.bytes[i] = std::uint8_t(i * 7 + 3);
        expected.push_back(std::uint8_t(i * 7 + 3));
    }
    EXPECT_EQ(sendOne(7).data, expected);
}

class ScriptResponseTest : public RequestTest {
  protected:
    void setScript(std::initializer_list<std::uint8_t> offsets, const char* responses) {
        std::size_t i = 0;
        for (std::uint8_t o : offsets)
            config.bytes[164 + i++] = o;
        std::memcpy(config.data() + 169, responses, std::strlen(responses));
    }
    Bytes response(std::size_t length, const char* text) {
        Bytes d = concat({bytes("Quorix\x05\0"),
                          {std::uint8_t(length), std::uint8_t(length >> 8)},
                          bytes(text, std::strlen(text))});
        d.resize(42, 0);
        return d;
    }
    // Request 5 as a line entry sends it for the script's present slot.
    Bytes sent() {
        const LoginResponse r = loginResponse(selfTest, config);
        link.sendTerminalResponse(r.length, r.text);
        EXPECT_EQ(link.awaitedReply(), kTerminalResponse);
        return port.sent.back().data;
    }
};

TEST_F(ScriptResponseTest, SendsTheResponseOfTheCurrentSlot) {
    setScript({0, 3, 3, 5, 5}, "abcde");
    selfTest.scriptSlot = 0;
    EXPECT_EQ(sent(), response(3, "abc"));
    port.sent.clear();
    selfTest.scriptSlot = 1;
    EXPECT_EQ(sent(), response(0, ""));
    port.sent.clear();
    selfTest.scriptSlot = 2;
    EXPECT_EQ(sent(), response(2, "de"));
}

TEST_F(ScriptResponseTest, LongResponseCarriesItsLengthButOnly32Bytes) {
    setScript({0, 40, 40, 40, 40}, "0123456789012345678901234567890123456789");
    selfTest.scriptSlot = 0;
    EXPECT_EQ(sent(), response(40, "01234567890123456789012345678901"));
}

TEST_F(ScriptResponseTest, UnsoundOffsetsNeverReachOutsideTheResponseArea) {
    // Decreasing offsets: nothing to send.
    setScript({0, 10, 5, 5, 5}, "abcdefghij");
    selfTest.scriptSlot = 1;
    EXPECT_EQ(sent(), response(0, ""));

    // Offsets past the 48-byte area are cut at its end.
    port.sent.clear();
    setScript({0, 45, 200, 200, 200}, "012345678901234567890123456789012345678901234567");
    config.bytes[217] = 'Z'; // first byte after the area
    selfTest.scriptSlot = 1;
    EXPECT_EQ(sent(), response(3, "567"));

    // A slot outside the script.
    for (int slot : {-1, 4, 1000}) {
        port.sent.clear();
        selfTest.scriptSlot = slot;
        EXPECT_EQ(sent(), response(0, ""));
    }
}

// Tries count the first sending: a plan of three sends three times, and the
// third unanswered look gives up.
TEST_F(RequestTest, AWaitGivesUpAfterItsTries) {
    std::int32_t triesLeft = 0;
    RequestPoll poll(link, triesLeft);
    EXPECT_EQ(poll.start({kVersions, 3, 100, 200}), 100);
    int wait = 0;
    EXPECT_EQ(poll.expire(&wait), RequestPoll::Outcome::Waiting);
    EXPECT_EQ(wait, 200);
    EXPECT_EQ(poll.expire(&wait), RequestPoll::Outcome::Waiting);
    EXPECT_EQ(poll.expire(&wait), RequestPoll::Outcome::GaveUp);
    EXPECT_EQ(port.count(kVersions), 3);

    // Answered on the last look before giving up.
    port.sent.clear();
    poll.start({kVersions, 2, 100, 100});
    EXPECT_EQ(poll.expire(&wait), RequestPoll::Outcome::Waiting);
    link.handleDatagram(reply(33, 56).data(), 56);
    EXPECT_EQ(poll.expire(&wait), RequestPoll::Outcome::Answered);
    EXPECT_EQ(port.count(kVersions), 2);
}

TEST(AddressText, ParsesLikeClassicDottedConversion) {
    EXPECT_EQ(parseDotted("10.0.0.9       \t", 15), makeAddress(10, 0, 0, 9));
    EXPECT_EQ(parseDotted("192.168.1.254\tReady", 114), makeAddress(192, 168, 1, 254));
    EXPECT_EQ(parseDotted("10.0.0.123", 8), makeAddress(10, 0, 0, 1));
    EXPECT_EQ(parseDotted("1.2.3", 20), makeAddress(1, 2, 0, 3));
    EXPECT_EQ(parseDotted("0x0a.010.0.1", 20), makeAddress(10, 8, 0, 1));
    for (const char* bad :
         {"", " 10.0.0.1", "256.1.1.1", "1.2.3.4.5", "10.0.0.x", "1..2", "08.1.1.1"})
        EXPECT_EQ(parseDotted(bad, 20), kBroadcastAddress) << bad;
    EXPECT_EQ(dottedText(makeAddress(255, 255, 255, 255)), "255.255.255.255");
    EXPECT_EQ(dottedText(makeAddress(192, 168, 1, 254)), "192.168.1.254");
}

} // namespace
