// Status Monitor rows, result texts and self-test progress steps.

#include "core/fakes.h"
#include "link/device_state.h"
#include "link/link.h"
#include "protocol/device_config.h"
#include "selftest/progress.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace varn;
using namespace varn::fakes;

Bytes statusReply(const char* name, std::uint8_t state, std::uint8_t code, std::uint32_t wan = 0,
                  std::uint16_t speed = 0) {
    Bytes d = reply(36, 28);
    std::memcpy(d.data() + 8, name, std::min<std::size_t>(12, std::strlen(name)));
    d[20] = state;
    d[21] = code;
    std::memcpy(d.data() + 22, &wan, 4);
    d[26] = std::uint8_t(speed);
    d[27] = std::uint8_t(speed >> 8);
    return d;
}

class MonitorTest : public ::testing::Test, protected LinkOver<> {
  protected:
    void SetUp() override { link.sendRequest(kStatusPoll); }
    void receive(const Bytes& d) { link.handleDatagram(d.data(), d.size()); }
};

TEST_F(MonitorTest, RowsCarryTheirColumnsByState) {
    link.awaitReply(36);
    receive(statusReply("BOX7", 5, 0, makeAddress(203, 0, 113, 45), 33600));
    receive(statusReply("ABCDEFGHIJKL", 7, 3, makeAddress(1, 2, 3, 4), 28800));
    receive(statusReply("TERM", 3, 0, makeAddress(1, 2, 3, 4), 14400));
    receive(statusReply("IDLE", 0, 0, makeAddress(1, 2, 3, 4), 14400));
    receive(statusReply("DIAL", 6, 5));
    ASSERT_EQ(link.monitor().monitorCount(), 5);
    EXPECT_EQ(link.awaitedReply(), 36);

    //                   0           13             31             46
    EXPECT_EQ(link.monitor().entry(0).rowText(),
              padded("BOX7         \tISP Connected    203.0.113.45   \t33600"));
    EXPECT_EQ(link.monitor().entry(1).rowText(),
              padded("ABCDEFGHIJKL \tPPP Error - IPCP Negotiation Failed !"));
    EXPECT_EQ(link.monitor().entry(2).rowText(),
              padded("TERM         \tTerminal Login                  \t14400"));
    EXPECT_EQ(link.monitor().entry(3).rowText(), padded("IDLE         \tReady          "));
    EXPECT_EQ(link.monitor().entry(4).rowText(),
              padded("DIAL         \tDial Error - Telephone line Busy"));

    // The columns under the Monitor's headings: a long state text stays in its own.
    auto columns = [&](int i) {
        const MonitorColumns c = link.monitor().entry(i).columns();
        return std::vector<std::string>{c.name, c.state, c.wan, c.speed};
    };
    EXPECT_EQ(columns(0),
              (std::vector<std::string>{"BOX7", "ISP Connected", "203.0.113.45", "33600"}));
    EXPECT_EQ(columns(1), (std::vector<std::string>{
                              "ABCDEFGHIJKL", "PPP Error - IPCP Negotiation Failed !", "", ""}));
    EXPECT_EQ(columns(2), (std::vector<std::string>{"TERM", "Terminal Login", "", "14400"}));
    link.markMonitorUnknown(1);
    EXPECT_EQ(columns(0), (std::vector<std::string>{"BOX7", "Unknown", "", ""}));
}

// A name's control characters would break the columns: they show as blanks.
TEST_F(MonitorTest, ControlCharactersInNamesShowAsBlanks) {
    receive(statusReply("A\tB\nC\x7f", 0, 0));
    EXPECT_EQ(link.monitor().entry(0).rowText(), padded("A B C        \tReady          "));
}

TEST_F(MonitorTest, AListedApplianceKeepsItsRow) {
    receive(statusReply("BOX7", 1, 0));
    receive(statusReply("BOX8", 1, 0));
    receive(statusReply("BOX7", 5, 0, makeAddress(10, 1, 1, 1), 9600));
    EXPECT_EQ(link.monitor().monitorCount(), 2);
    EXPECT_EQ(link.monitor().entry(0).rowText(),
              padded("BOX7         \tISP Connected    10.1.1.1       \t9600"));

    // Bytes after the name's terminator do not make a new row each time.
    Bytes withGarbage = statusReply("GW", 0, 0);
    std::memcpy(withGarbage.data() + 11, "junk", 4);
    receive(withGarbage);
    receive(withGarbage);
    EXPECT_EQ(link.monitor().monitorCount(), 3);
    EXPECT_EQ(link.monitor().entry(2).rowText(), padded("GW           \tReady          "));
}

TEST_F(MonitorTest, CodesAbove20CountAsZeroAndUnknownOnesGetReadableTexts) {
    receive(statusReply("A", 21, 9)); // state 21 -> Ready
    receive(statusReply("B", 7, 21)); // code 21 -> "PPP Ok"
    receive(statusReply("C", 7, 12)); // beyond the PPP table
    receive(statusReply("D", 12, 0)); // a state without a name
    receive(statusReply("E", 8, 1));
    receive(statusReply("F", 20, 0)); // 20 itself is no code above 20
    receive(statusReply("G", 7, 20));
    EXPECT_EQ(link.monitor().entry(0).rowText(), padded("A            \tReady          "));
    EXPECT_EQ(link.monitor().entry(1).rowText(), padded("B            \tPPP Ok"));
    EXPECT_EQ(link.monitor().entry(2).rowText(), padded("C            \tPPP Error - code 12"));
    EXPECT_EQ(link.monitor().entry(3).rowText(), padded("D            \tUnknown state 12"));
    EXPECT_EQ(link.monitor().entry(4).rowText(),
              padded("E            \tTerminal Mode - Account Login Failed !"));
    EXPECT_EQ(link.monitor().entry(5).rowText(), padded("F            \tUnknown state 20"));
    EXPECT_EQ(link.monitor().entry(6).rowText(), padded("G            \tPPP Error - code 20"));
}

TEST_F(MonitorTest, AFiftyFirstApplianceIsDropped) {
    for (int i = 0; i < kTableRows; ++i)
        receive(statusReply(("DEV" + std::to_string(i)).c_str(), 0, 0));
    ASSERT_EQ(link.monitor().monitorCount(), kTableRows);
    receive(statusReply("EXTRA", 5, 0, makeAddress(1, 1, 1, 1), 1));
    EXPECT_EQ(link.monitor().monitorCount(), kTableRows);
    EXPECT_EQ(link.monitor().entry(kTableRows - 1).rowText(),
              padded("DEV49        \tReady          "));
    // Known ones are still updated.
    receive(statusReply("DEV49", 1, 0));
    EXPECT_EQ(link.monitor().entry(kTableRows - 1).rowText(),
              padded("DEV49        \tDialing Phone  "));
}

TEST_F(MonitorTest, UnknownMarksRowsUntilTheApplianceAnswers) {
    receive(statusReply("BOX7", 5, 0, makeAddress(10, 1, 1, 1), 9600));
    link.markMonitorUnknown(2);
    EXPECT_EQ(link.monitor().entry(0).rowText(), "BOX7         \tUnknown");
    EXPECT_TRUE(link.monitor().entry(1).unknown);
    link.markMonitorUnknown(500); // never past the table
    EXPECT_TRUE(link.monitor().entry(kTableRows - 1).unknown);
    receive(statusReply("BOX7", 0, 0));
    EXPECT_EQ(link.monitor().entry(0).rowText(), padded("BOX7         \tReady          "));
}

TEST(StateTexts, TablesAndFallbacks) {
    for (const char* name : stateNames)
        EXPECT_EQ(std::strlen(name), 15u);
    EXPECT_STREQ(listStateName(5), "ISP Connected  ");
    EXPECT_STREQ(listStateName(6), "Ready          ");
    EXPECT_EQ(statusText(6, 10), "Dial Error - Unknown dialing error");
    EXPECT_EQ(statusText(6, 11), "Dial Error - code 11");
    EXPECT_EQ(statusText(7, 7), "PPP Error - CHAP Invalid Password !");
    EXPECT_EQ(statusText(8, 0), "Terminal Mode Ok");
    EXPECT_EQ(statusText(8, 2), "Terminal Mode - code 2");
    EXPECT_EQ(statusText(255, 255), "Unknown state 255");
    EXPECT_EQ(statusText(2, 1), "");
}

TEST(SelfTestProgress, DialingShowsThePhoneNumberAndOtherEventsNothing) {
    RecordingUi ui;
    DeviceConfig config;
    config.setPhoneNumber("0123456789012345");
    showPracticeProgress(ui, SelfTestEvent::Dialing, config);
    EXPECT_EQ(ui.events, (std::vector<std::string>{"disable 1041", "enable 1038",
                                                   "status Dialing... 0123456789012345"}));
    ui.events.clear();
    for (int event : {0, 1, 2, 6, 8, 10, 152, 154, -1})
        showPracticeProgress(ui, SelfTestEvent(event), config);
    EXPECT_TRUE(ui.events.empty());
}

} // namespace
