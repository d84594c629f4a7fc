// The Login Terminal's rules: the echo of the typed line, the display text, the
// prompt before a line, and the recording of the login script with request 5.

#include "core/fakes.h"
#include "protocol/device_config.h"
#include "selftest/terminal_recorder.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace varn;
using namespace varn::fakes;

class TerminalRecorderTest : public ::testing::Test, protected LinkOver<> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(selfTest.obtainTerminalText());
        selfTest.running = true;
        selfTest.loginKind = kLoginTerminal;
        selfTest.scriptSlot = -1;
        config.setLoginMode(LoginMode::Terminal);
        config.clearLoginArea();
        config.bytes[DeviceConfig::kLoginArea + DeviceConfig::kLoginAreaSize] = 0x5A;
    }

    void receive(const std::string& text) {
        selfTest.appendTerminalData(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                                    nullptr);
    }
    LineRecord enter(const std::string& line) { return test.enterLine(line); }

    std::vector<int> offsets() const {
        std::vector<int> o;
        for (int i = 0; i < 5; ++i)
            o.push_back(config.scriptOffset(i));
        return o;
    }
    std::string responseArea(std::size_t n) const {
        return std::string(
            reinterpret_cast<const char*>(config.data()) + DeviceConfig::kScriptResponses, n);
    }
    // Request 5 as sent: its length field and its text.
    static Bytes response(const std::string& text) {
        Bytes d = concat({bytes("Quorix\x05\0"),
                          {std::uint8_t(text.size()), 0},
                          Bytes(text.begin(), text.end())});
        d.resize(42, 0);
        return d;
    }
    const char* buffer() const { return selfTest.terminalText.get(); }
};

TEST_F(TerminalRecorderTest, PromptIsTheLastEightCharactersWithLineEndsAsBlanks) {
    receive("Username: \r\n");
    EXPECT_EQ(enter("guest"), LineRecord::Recorded);
    EXPECT_EQ(config.scriptPrompt(0), "name:   ");
    // The buffer keeps its line ends for the display.
    EXPECT_STREQ(buffer(), "Username: \r\n");

    // Fewer than eight characters received so far; a NUL among them.
    selfTest.terminalEnd = 0;
    receive(std::string("ab\0c", 4));
    EXPECT_EQ(selfTest.terminalEnd, 4u);
    enter("x");
    EXPECT_EQ(config.scriptPrompt(1), "ab  ");
}

// The prompt is what the ISP sent on its last line, not the end of the line
// before; a shorter prompt is no match for a longer slot it begins.
TEST_F(TerminalRecorderTest, PromptStartsAtTheLineItIsOn) {
    receive("Welcome\r\nlogin: ");
    enter("guest");
    EXPECT_EQ(config.scriptPrompt(0), "login: ");
    EXPECT_EQ(terminalDisplayText(selfTest), "Welcome\nlogin: ");
    receive("\r\nlog");
    enter("x");
    EXPECT_EQ(selfTest.scriptSlot, 1);
    EXPECT_EQ(config.scriptPrompt(1), "log");
    EXPECT_EQ(config.scriptResponse(0), "guest");
}

TEST_F(TerminalRecorderTest, RecordsEachLineUnderItsPromptAndSendsIt) {
    receive("login: ");
    EXPECT_EQ(enter("guest"), LineRecord::Recorded);
    EXPECT_EQ(selfTest.scriptSlot, 0);
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].data, response("guest"));

    receive("\r\nPassword: ");
    enter("pw1234");
    EXPECT_EQ(selfTest.scriptSlot, 1);
    EXPECT_EQ(config.scriptPrompt(0), "login: ");
    EXPECT_EQ(config.scriptPrompt(1), "ssword: ");
    EXPECT_EQ(config.scriptResponse(0), "guest");
    EXPECT_EQ(config.scriptResponse(1), "pw1234");
    EXPECT_EQ(offsets(), (std::vector<int>{0, 5, 11, 11, 11}));
    EXPECT_EQ(port.sent.back().data, response("pw1234"));
    EXPECT_EQ(config.loginMode(), 1);
}

TEST_F(TerminalRecorderTest, EmptyLineRecordsAnEmptyResponseAndStillSends) {
    receive("Press Enter:");
    EXPECT_EQ(enter(""), LineRecord::Recorded);
    EXPECT_EQ(config.scriptPrompt(0), "s Enter:");
    EXPECT_EQ(offsets(), (std::vector<int>{0, 0, 0, 0, 0}));
    ASSERT_EQ(port.sent.size(), 1u);
    EXPECT_EQ(port.sent[0].data, response(""));
}

TEST_F(TerminalRecorderTest, LineEntryTakesSixteenCharacters) {
    receive("login: ");
    enter("abcdefghijklmnopqrst");
    EXPECT_EQ(config.scriptResponse(0), "abcdefghijklmnop");
    EXPECT_EQ(port.sent.back().data, response("abcdefghijklmnop"));
}

TEST_F(TerminalRecorderTest, RepeatedPromptReplacesItsResponseAndOffsetsNeverDecrease) {
    receive("Welcome\r\nlogin: ");
    enter("gust");
    // Offsets after the recorded pair are raised to its end at once.
    EXPECT_EQ(offsets(), (std::vector<int>{0, 4, 4, 4, 4}));
    receive("\r\nPassword: ");
    enter("pw");
    receive("\r\nLogin incorrect\r\nlogin: ");
    enter("guest");
    EXPECT_EQ(selfTest.scriptSlot, 0);
    EXPECT_EQ(config.scriptPrompt(0), "login: ");
    EXPECT_EQ(config.scriptPrompt(2), "");
    // The longer response runs into the next one until that is typed again.
    EXPECT_EQ(offsets(), (std::vector<int>{0, 5, 6, 6, 6}));
    receive("\r\nPassword: ");
    enter("pw");
    EXPECT_EQ(selfTest.scriptSlot, 1);
    EXPECT_EQ(offsets(), (std::vector<int>{0, 5, 7, 7, 7}));
    EXPECT_EQ(responseArea(7), "guestpw");
    EXPECT_EQ(config.scriptResponse(0), "guest");
    EXPECT_EQ(config.scriptResponse(1), "pw");
}

TEST_F(TerminalRecorderTest, AFifthPromptIsSentButNotRecorded) {
    const char* prompts[] = {"one:", "two:", "three:", "four:"};
    for (const char* p : prompts) {
        receive(std::string("\r\n") + p);
        ASSERT_EQ(enter("r"), LineRecord::Recorded);
    }
    const DeviceConfig before = config;
    receive("\r\nfive:");
    EXPECT_EQ(enter("last"), LineRecord::NoFreePrompt);
    EXPECT_EQ(config, before);
    EXPECT_EQ(selfTest.scriptSlot, 3);
    EXPECT_EQ(port.sent.back().data, response("last"));

    // A known prompt afterwards is recorded again, and sent from the record.
    receive("\r\ntwo:");
    EXPECT_EQ(enter("s"), LineRecord::Recorded);
    EXPECT_EQ(selfTest.scriptSlot, 1);
    EXPECT_EQ(config.scriptResponse(1), "s");
    EXPECT_EQ(port.sent.back().data, response("s"));
}

TEST_F(TerminalRecorderTest, ASlotFarBeyondTheScriptRecordsNothing) {
    selfTest.scriptSlot = INT32_MAX;
    const DeviceConfig before = config;
    receive("login: ");
    EXPECT_EQ(enter("me"), LineRecord::NoFreePrompt);
    EXPECT_EQ(config, before);
    EXPECT_EQ(port.sent.back().data, response("me"));
}

TEST_F(TerminalRecorderTest, ResponsesBeyondTheAreaAreSentButNotRecorded) {
    receive("a:");
    enter("0123456789abcdef");
    receive("\r\nb:");
    enter("0123456789abcdef");
    receive("\r\nc:");
    enter("0123456789abcde");
    EXPECT_EQ(offsets(), (std::vector<int>{0, 16, 32, 47, 47}));
    const DeviceConfig before = config;

    receive("\r\nd:");
    EXPECT_EQ(enter("xy"), LineRecord::NoRoomForResponse);
    EXPECT_EQ(config, before); // neither the prompt nor anything past the area
    EXPECT_EQ(config.bytes[DeviceConfig::kLoginArea + DeviceConfig::kLoginAreaSize], 0x5A);
    EXPECT_EQ(selfTest.scriptSlot, 2);
    EXPECT_EQ(port.sent.back().data, response("xy"));

    // One character still fits.
    EXPECT_EQ(enter("z"), LineRecord::Recorded);
    EXPECT_EQ(config.scriptPrompt(3), "d:");
    EXPECT_EQ(offsets(), (std::vector<int>{0, 16, 32, 47, 48}));
    EXPECT_EQ(port.sent.back().data, response("z"));
}

TEST_F(TerminalRecorderTest, EchoShowsTheTypedLineAfterTheReceivedText) {
    receive("login: ");
    selfTest.terminalDirty = false;
    EXPECT_TRUE(echoTypedLine(selfTest, "gu"));
    EXPECT_TRUE(selfTest.terminalDirty);
    EXPECT_STREQ(buffer(), "login: gu");
    EXPECT_EQ(selfTest.terminalEnd, 7u);
    EXPECT_STREQ(selfTest.lastTypedLine, "gu");

    selfTest.terminalDirty = false;
    EXPECT_FALSE(echoTypedLine(selfTest, "gu"));
    EXPECT_FALSE(selfTest.terminalDirty);

    // At most 32 characters; the next received text overwrites the echo.
    EXPECT_TRUE(echoTypedLine(selfTest, std::string(40, 'x')));
    EXPECT_EQ(std::string(buffer()), "login: " + std::string(32, 'x'));
    receive("\r\n");
    EXPECT_STREQ(buffer(), "login: \r\n");
}

TEST_F(TerminalRecorderTest, EchoIsCutAtTheEndOfAFullBuffer) {
    selfTest.terminalEnd = kTerminalTextSize - 4;
    echoTypedLine(selfTest, "abcdef");
    EXPECT_EQ(std::string(buffer() + kTerminalTextSize - 4), "abc");
    EXPECT_EQ(buffer()[kTerminalTextSize - 1], 0);
}

TEST_F(TerminalRecorderTest, DisplayTextLeavesNulsOutAndEndsLinesWithLineFeeds) {
    receive("Welcome\r\n");
    receive(std::string("x\0yy", 4)); // bytes after a NUL are stored as NULs
    receive("login:\rnext\n");
    echoTypedLine(selfTest, "gu");
    EXPECT_EQ(terminalDisplayText(selfTest), "Welcome\nxlogin:\nnext\ngu");
}

} // namespace
