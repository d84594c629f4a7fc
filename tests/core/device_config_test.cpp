// The 512-byte configuration block: field placement, text widths and the
// guarantee that uninterpreted bytes travel back unchanged.

#include "core/fakes.h"
#include "link/link.h"
#include "protocol/device_config.h"

#include <gtest/gtest.h>

namespace {

using namespace varn;
using namespace varn::fakes;

TEST(DeviceConfig, FullWidthTextsHaveNoTerminatorAndDoNotRunOn) {
    DeviceConfig c;
    c.setDeviceName("ABCDEFGHIJKL");
    c.setDevicePassword("pass");
    c.setLanIpAddress(makeAddress(192, 168, 1, 254));
    c.setPhoneNumber("0123456789012345");
    c.bytes[90] = 'X'; // the uninterpreted byte after the number

    EXPECT_EQ(c.deviceName(), "ABCDEFGHIJKL");
    EXPECT_EQ(c.bytes[14], 'p'); // the password follows at once
    EXPECT_EQ(c.devicePassword(), "pass");
    EXPECT_EQ(c.phoneNumber(), "0123456789012345");
    EXPECT_EQ(c.bytes[90], 'X');

    const std::uint8_t address[4] = {192, 168, 1, 254};
    EXPECT_EQ(std::memcmp(c.data() + 18, address, 4), 0);
    EXPECT_EQ(c.lanIpOctet(0), 192);
    EXPECT_EQ(c.lanIpOctet(3), 254);

    // Too long texts are cut at the field; shorter ones are zero-padded.
    c.setDeviceName("ABCDEFGHIJKLMNOP");
    EXPECT_EQ(c.deviceName(), "ABCDEFGHIJKL");
    EXPECT_EQ(c.bytes[14], 'p');
    c.setDeviceName("box");
    EXPECT_EQ(Bytes(c.data() + 2, c.data() + 14), bytes("box\0\0\0\0\0\0\0\0\0", 12));
}

TEST(DeviceConfig, BlindDialKeepsTheOtherOptionBits) {
    DeviceConfig c;
    c.bytes[24] = 0x83;
    EXPECT_FALSE(c.blindDial());
    c.setBlindDial(true);
    EXPECT_EQ(c.bytes[24], 0x93);
    EXPECT_TRUE(c.blindDial());
    c.setBlindDial(false);
    EXPECT_EQ(c.bytes[24], 0x83);
}

TEST(DeviceConfig, LoginAreaViewsShareTheSame85Bytes) {
    DeviceConfig c;
    c.bytes[131] = 2;
    c.setPppUserName("user@isp");
    c.setPppPassword(std::string(60, 'p'));
    EXPECT_EQ(c.pppPassword(), std::string(48, 'p'));
    EXPECT_EQ(c.bytes[164 + 48], 0); // the NUL after 48 characters

    c.clearLoginArea();
    EXPECT_EQ(Bytes(c.data() + 132, c.data() + 217), Bytes(85, 0));
    EXPECT_EQ(c.bytes[131], 2); // the mode byte is not part of the area

    // Responses a b c, -, d e, - give offsets 0 3 3 5 5.
    c.setScriptPrompt(0, "login:");
    c.setScriptPrompt(3, "password");
    c.setScriptResponses({"abc", "", "de", ""});
    EXPECT_EQ(Bytes(c.data() + 164, c.data() + 169), (Bytes{0, 3, 3, 5, 5}));
    EXPECT_EQ(Bytes(c.data() + 169, c.data() + 174), bytes("abcde"));
    EXPECT_EQ(c.scriptResponse(0), "abc");
    EXPECT_EQ(c.scriptResponse(1), "");
    EXPECT_EQ(c.scriptResponse(2), "de");
    EXPECT_EQ(c.scriptPrompt(3), "password");
    EXPECT_EQ(c.bytes[132 + 24 + 7], 'd'); // prompt 3 fills its 8 bytes

    // The PPP view now reads the script's bytes: writing one view destroys the other.
    EXPECT_EQ(c.pppUserName().substr(0, 6), "login:");

    // Responses beyond 48 bytes in all are cut.
    c.setScriptResponses({std::string(30, 'a'), std::string(30, 'b'), "c", "d"});
    EXPECT_EQ(Bytes(c.data() + 164, c.data() + 169), (Bytes{0, 30, 48, 48, 48}));
    EXPECT_EQ(c.scriptResponse(1), std::string(18, 'b'));
}

TEST(DeviceConfig, UnsoundScriptOffsetsReadAsEmptyResponses) {
    DeviceConfig c;
    const std::uint8_t offsets[5] = {0, 10, 5, 60, 70};
    std::memcpy(c.data() + 164, offsets, 5);
    std::memset(c.data() + 169, 'x', 48);
    EXPECT_EQ(c.scriptResponse(0), std::string(10, 'x'));
    EXPECT_EQ(c.scriptResponse(1), "");  // decreasing
    EXPECT_EQ(c.scriptResponse(2), "");  // past the area
    EXPECT_EQ(c.scriptResponse(-1), ""); // no such pair
    EXPECT_EQ(c.scriptResponse(4), "");
    EXPECT_EQ(c.scriptPrompt(4), "");
}

TEST(DeviceConfig, AlternativeNumbersAreWrittenWithATerminator) {
    DeviceConfig c;
    c.setUseAlternativeNumbers(true);
    EXPECT_EQ(c.bytes[362], 1);
    c.bytes[362] = 7;
    EXPECT_TRUE(c.useAlternativeNumbers());
    c.setAlternativeTries(100);
    EXPECT_EQ(c.bytes[363], 100);
    c.setAlternativeNumber(1, "0123456789012345678");
    c.setAlternativeNumber(2, "555");
    EXPECT_EQ(c.alternativeNumber(1), "012345678901234");
    EXPECT_EQ(c.bytes[364 + 15], 0);
    EXPECT_EQ(c.alternativeNumber(2), "555");
    EXPECT_EQ(c.bytes[380], '5');
    c.setAlternativeNumber(3, "x"); // ignored
    EXPECT_EQ(c.alternativeNumber(3), "");
}

TEST(DeviceConfig, BlockReceivedAndSentBackIsIdentical) {
    LinkOver<> rig;
    auto& [port, config, selfTest, ui, link, test] = rig;

    Bytes reply2 = reply(2, 520);
    for (std::size_t i = 8; i < 520; ++i)
        reply2[i] = std::uint8_t(i * 31 + 5);
    link.chooseDevice(DeviceEntry{shownName(reply2.data() + 8 + DeviceConfig::kDeviceName), 0, 0});
    link.sendRequest(kReadConfig);
    link.handleDatagram(reply2.data(), reply2.size());

    // Reading every interpreted field changes nothing.
    EXPECT_FALSE(config.deviceName().empty());
    EXPECT_FALSE(config.pppPassword().empty());
    config.scriptResponse(2);
    config.alternativeNumber(2);

    port.sent.clear();
    link.sendRequest(7);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(Bytes(port.sent[0].data.begin() + 8, port.sent[0].data.end()),
              Bytes(reply2.begin() + 8, reply2.end()));
}

} // namespace
