// The rules behind the configuration dialogs: reading and moving on in the
// address fields, what Save and Verify setting store, the Advanced settings'
// checks, the old-password check and the login script's packing.

#include "config/block_rules.h"
#include "config/config_buttons.h"
#include "config/field_rules.h"
#include "config/login_script.h"
#include "core/fakes.h"

#include <gtest/gtest.h>

namespace {

using namespace varn;
using namespace varn::fakes;

// A block with every byte set, so that what a rule leaves alone shows.
DeviceConfig filledBlock(std::uint8_t value = 0xA5) {
    DeviceConfig c;
    c.bytes.fill(value);
    return c;
}

Bytes field(const DeviceConfig& c, std::size_t at, std::size_t width) {
    return Bytes(c.data() + at, c.data() + at + width);
}

ConfigFields fieldsOf(std::string name, std::array<std::string, 4> octets, std::string phone,
                      std::string user = "", std::string password = "") {
    return {std::move(name), std::move(octets), std::move(phone), std::move(user),
            std::move(password)};
}

TEST(OctetField, SaveReadsTheFirstFourCharactersAsAtoiDoes) {
    EXPECT_EQ(savedOctet(""), 0);
    EXPECT_EQ(savedOctet("ab"), 0);
    EXPECT_EQ(savedOctet("0255"), 255);
    EXPECT_EQ(savedOctet("12ab"), 12);
    EXPECT_EQ(savedOctet(" 7"), 7);
    EXPECT_EQ(savedOctet("   12"), 1); // only "   1" is read
    EXPECT_EQ(savedOctet("+9"), 9);
    EXPECT_EQ(savedOctet("-0"), 0);
    EXPECT_EQ(savedOctet("255"), 255);
    EXPECT_EQ(savedOctet("256"), std::nullopt);
    EXPECT_EQ(savedOctet("-1"), std::nullopt); // negative, taken as unsigned
    EXPECT_EQ(savedOctet("9999"), std::nullopt);
}

TEST(OctetField, ThreeCharactersOrADotMoveOn) {
    OctetChange c = octetFieldChange("192", 0, false);
    EXPECT_TRUE(c.moveOn);
    EXPECT_FALSE(c.text);

    c = octetFieldChange("10.", 1, false);
    EXPECT_TRUE(c.moveOn);
    EXPECT_EQ(c.text, "10");

    c = octetFieldChange(".", 2, false); // a dot alone: empty, and on
    EXPECT_TRUE(c.moveOn);
    EXPECT_EQ(c.text, "");

    for (const char* quiet : {"", "1", "19"}) {
        c = octetFieldChange(quiet, 0, false);
        EXPECT_FALSE(c.moveOn || c.text || c.caretToEnd) << quiet;
    }
    c = octetFieldChange("1921", 0, false); // typed past three: stays
    EXPECT_FALSE(c.moveOn);
}

TEST(OctetField, TheFourthKeepsTheFocusAndPutsTheCaretAtTheEnd) {
    OctetChange c = octetFieldChange("254", 3, false);
    EXPECT_FALSE(c.moveOn);
    EXPECT_TRUE(c.caretToEnd);
    EXPECT_TRUE(octetFieldChange("2541", 3, false).caretToEnd);
    c = octetFieldChange("20.", 3, false);
    EXPECT_EQ(c.text, "20");
    EXPECT_TRUE(c.caretToEnd);
    EXPECT_FALSE(octetFieldChange("20", 3, false).caretToEnd);
}

TEST(OctetField, ADotRightAfterThreeDigitsMovedOnIsDropped) {
    // "192.168" typed in one go: the dot belongs to 192.
    for (int field = 1; field < 4; ++field) {
        const OctetChange c = octetFieldChange(".", field, true);
        EXPECT_EQ(c.text, "");
        EXPECT_FALSE(c.moveOn);
        EXPECT_FALSE(c.caretToEnd);
    }
    EXPECT_TRUE(octetFieldChange("1.", 1, true).moveOn);
}

TEST(ConfigSave, PppModeWithoutUserNameStoresNothing) {
    DeviceConfig c = filledBlock();
    c.setLoginMode(LoginMode::Ppp);
    const DeviceConfig before = c;
    const SaveResult r =
        storeConfigFields(c, fieldsOf("new", {"1", "2", "3", "4"}, "555", "", "pw"));
    EXPECT_EQ(r.outcome, SaveResult::NeedAccount);
    EXPECT_EQ(c, before);
}

TEST(ConfigSave, ABadOctetStopsAfterTheNameAndTheOctetsToItsRight) {
    DeviceConfig c = filledBlock();
    c.setLoginMode(LoginMode::Terminal);
    DeviceConfig before = c;
    SaveResult r = storeConfigFields(c, fieldsOf("Box", {"1", "2", "3", "300"}, "555"));
    EXPECT_EQ(r.outcome, SaveResult::BadOctet);
    EXPECT_EQ(r.octet, 3);
    EXPECT_EQ(c.deviceName(), "Box");
    EXPECT_EQ(field(c, 18, 4), field(before, 18, 4)); // no octet stored
    EXPECT_EQ(c.phoneNumber(), before.phoneNumber());

    c = before;
    r = storeConfigFields(c, fieldsOf("Box", {"1", "-1", "", "x"}, "555"));
    EXPECT_EQ(r.octet, 1);
    EXPECT_EQ(field(c, 18, 4), (Bytes{0xA5, 0xA5, 0, 0})); // fourth and third stored
}

TEST(ConfigSave, StoresTextsAndThePppAccountWithOneTerminator) {
    DeviceConfig c = filledBlock();
    c.setLoginMode(LoginMode::Ppp);
    const std::string password25(25, 'p');
    SaveResult r = storeConfigFields(
        c, fieldsOf("Box", {"192", "0168", "1", "254"}, "5550100", "me", password25));
    EXPECT_EQ(r.outcome, SaveResult::Stored);
    EXPECT_EQ(field(c, 2, 12), bytes("Box\0\0\0\0\0\0\0\0\0", 12));
    EXPECT_EQ(c.lanIpAddress(), makeAddress(192, 168, 1, 254));
    EXPECT_EQ(field(c, 74, 16), bytes("5550100\0\0\0\0\0\0\0\0\0", 16));
    EXPECT_EQ(field(c, 132, 4), bytes("me\0\xA5", 4)); // one NUL, the rest as it was
    EXPECT_EQ(c.pppPassword(), password25);            // whole: more than requests carry
    EXPECT_EQ(c.bytes[164 + 25], 0);
    EXPECT_EQ(c.bytes[164 + 26], 0xA5);

    // Full-width texts get no terminator, and a 48-character password its NUL.
    storeConfigFields(c, fieldsOf("ABCDEFGHIJKL", {"1", "2", "3", "4"}, "0123456789012345",
                                  std::string(32, 'u'), std::string(48, 'w')));
    EXPECT_EQ(c.deviceName(), "ABCDEFGHIJKL");
    EXPECT_EQ(c.pppUserName(), std::string(32, 'u'));
    EXPECT_EQ(c.bytes[164 + 48], 0);
    EXPECT_EQ(c.bytes[217], 0xA5); // nothing written past the login area
}

TEST(ConfigSave, TerminalModeLeavesTheLoginAreaAlone) {
    DeviceConfig c = filledBlock();
    c.setLoginMode(LoginMode::Terminal);
    const DeviceConfig before = c;
    storeConfigFields(c, fieldsOf("Box", {"1", "2", "3", "4"}, "555", "me", "pw"));
    EXPECT_EQ(field(c, 132, 85), field(before, 132, 85));
}

TEST(ConfigVerify, StoresThePhoneNumberAndWhatTheDialRequestsCarry) {
    DeviceConfig c = filledBlock();
    c.setLoginMode(LoginMode::Ppp);
    const DeviceConfig before = c;
    storeVerifyFields(
        c, fieldsOf("ignored", {"9", "9", "9", "9"}, "5550100", "me", "abcdefghijklmnopqrstuvwxy"));
    EXPECT_EQ(c.phoneNumber(), "5550100");
    EXPECT_EQ(field(c, 132, 32), concat({bytes("me"), Bytes(30, 0)})); // padded to 32 bytes
    EXPECT_EQ(field(c, 164, 20), bytes("abcdefghijklmnopqrst"));
    EXPECT_EQ(field(c, 184, 33), field(before, 184, 33)); // the rest of the password area
    // Neither the name, the address nor the login mode.
    EXPECT_EQ(field(c, 0, 74), field(before, 0, 74));
    EXPECT_EQ(c.loginMode(), 2);

    // An empty account field leaves its bytes alone; a short password is padded to 20.
    DeviceConfig d = filledBlock();
    d.setLoginMode(LoginMode::Ppp);
    storeVerifyFields(d, fieldsOf("", {}, "1", "", "pw"));
    EXPECT_EQ(field(d, 132, 32), Bytes(32, 0xA5));
    EXPECT_EQ(field(d, 164, 21), bytes("pw\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\xA5", 21));
}

TEST(ConfigVerify, ALoginScriptIsNotOverwrittenByTheAccountFields) {
    DeviceConfig c;
    c.setLoginMode(LoginMode::Terminal);
    storeLoginScript(c, {{"login:", "", "", ""}, {"guest", "", "", ""}});
    const DeviceConfig before = c;
    storeVerifyFields(c, fieldsOf("", {}, "5550100", "me", "secret"));
    EXPECT_EQ(field(c, 131, 86), field(before, 131, 86));
    EXPECT_EQ(c.phoneNumber(), "5550100");
}

TEST(UnsignedDecimal, BlanksAroundDigitsAndNothingElse) {
    EXPECT_EQ(parseUnsignedDecimal("12"), 12u);
    EXPECT_EQ(parseUnsignedDecimal(" \t12 \t"), 12u);
    EXPECT_EQ(parseUnsignedDecimal("0"), 0u);
    EXPECT_EQ(parseUnsignedDecimal(" 00 "), 0u);
    EXPECT_EQ(parseUnsignedDecimal("007"), 7u);
    for (const char* refused : {"", "   ", "-1", "+1", "12a", "1 2", "a", "-0"}) {
        EXPECT_EQ(parseUnsignedDecimal(refused), std::nullopt) << refused;
    }
    EXPECT_EQ(parseUnsignedDecimal("99999999999999999999999"),
              std::numeric_limits<std::uint64_t>::max());
}

TEST(AdvanceCheck, IdleMinutesThenTheNumbersThenTheTries) {
    struct Case {
        const char *idle, *tries;
        AdvanceCheck::Field failed;
        const char* message;
    };
    const Case cases[] = {
        {"", "3", AdvanceCheck::IdleMinutes, "Please enter an integer between 0 and 255."},
        {"12a", "3", AdvanceCheck::IdleMinutes, "Please enter an integer between 0 and 255."},
        {"256", "3", AdvanceCheck::IdleMinutes, "Please enter an integer between 0 and 255."},
        {"128", "3", AdvanceCheck::IdleMinutes, "Please enter an integer between 0 and 127."},
        {"127", "3", AdvanceCheck::None, ""},
        {"0", "3", AdvanceCheck::None, ""},
        {"12  ", "3", AdvanceCheck::None, ""},
        {"5", "-1", AdvanceCheck::Tries, "Please enter a positive integer."},
        {"5", "", AdvanceCheck::Tries, "Please enter a positive integer."},
        {"5", "101", AdvanceCheck::Tries, "Please enter an integer between 0 and 100."},
        {"5", "100", AdvanceCheck::None, ""},
        {"", "-1", AdvanceCheck::IdleMinutes, "Please enter an integer between 0 and 255."},
    };
    for (const Case& k : cases) {
        AdvanceFields f;
        f.idleMinutes = k.idle;
        f.tries = k.tries;
        const AdvanceCheck check = checkAdvanceFields(f);
        EXPECT_EQ(check.failed, k.failed) << k.idle << " / " << k.tries;
        EXPECT_EQ(check.message, k.message) << k.idle << " / " << k.tries;
    }

    AdvanceFields f;
    f.idleMinutes = "5";
    f.tries = "x";
    f.alternative1 = std::string(16, '1');
    f.alternative2 = std::string(16, '2');
    AdvanceCheck check = checkAdvanceFields(f);
    EXPECT_EQ(check.failed, AdvanceCheck::Alternative2);
    EXPECT_EQ(check.message, "Please enter no more than 15 characters.");
    f.alternative2 = std::string(15, '2');
    EXPECT_EQ(checkAdvanceFields(f).failed, AdvanceCheck::Alternative1);
    f.alternative1 = "";
    EXPECT_EQ(checkAdvanceFields(f).failed, AdvanceCheck::Tries);
}

TEST(AdvanceStore, BlindDialBitAloneAndNumbersWithOneNul) {
    DeviceConfig c = filledBlock();
    c.bytes[24] = 0x01;
    AdvanceFields f{"127", std::string(15, '9'), "12", "100", true, false};
    storeAdvanceFields(c, f, checkAdvanceFields(f));
    EXPECT_EQ(c.idleMinutes(), 127);
    EXPECT_EQ(c.bytes[24], 0x11);
    EXPECT_EQ(c.bytes[362], 0);
    EXPECT_EQ(c.bytes[363], 100);
    EXPECT_EQ(field(c, 364, 16), bytes("999999999999999\0", 16)); // fills all 16 bytes
    EXPECT_EQ(field(c, 380, 4), bytes("12\0\xA5", 4));            // the rest as it was
    EXPECT_EQ(c.bytes[396], 0xA5);

    f.blindDial = false;
    f.useAlternativeNumbers = true;
    storeAdvanceFields(c, f, checkAdvanceFields(f));
    EXPECT_EQ(c.bytes[24], 0x01);
    EXPECT_EQ(c.bytes[362], 1);
}

TEST(OldPassword, ComparedExactlyWithTheStoredCharacters) {
    DeviceConfig c = filledBlock('z'); // the address follows the password at once
    c.setDevicePassword("abcd");
    EXPECT_TRUE(oldPasswordMatches(c, "abcd"));
    EXPECT_FALSE(oldPasswordMatches(c, "abc"));
    EXPECT_FALSE(oldPasswordMatches(c, "abcdz"));
    EXPECT_FALSE(oldPasswordMatches(c, "ABCD"));
    c.setDevicePassword("");
    EXPECT_TRUE(oldPasswordMatches(c, ""));
    EXPECT_FALSE(oldPasswordMatches(c, "a"));
}

TEST(LoginScript, PacksResponsesBackToBackAndReloadsNonEmptyPrompts) {
    DeviceConfig c = filledBlock();
    c.setLoginMode(LoginMode::Ppp);
    const LoginScript script{{"12345678", "abc", "", "pass:"}, {"0123456789", "wxyz", "ok", ""}};
    storeLoginScript(c, script);
    EXPECT_EQ(c.loginMode(), 1);
    EXPECT_EQ(field(c, 132, 32),
              concat({bytes("12345678abc"), Bytes(13, 0), bytes("pass:"), Bytes(3, 0)}));
    EXPECT_EQ(field(c, 164, 5), (Bytes{0, 10, 14, 16, 16}));
    EXPECT_EQ(field(c, 169, 16), bytes("0123456789wxyzok"));
    EXPECT_EQ(field(c, 185, 32), Bytes(32, 0xA5)); // after the last response: as it was

    const LoginScript shown = loadLoginScript(c);
    EXPECT_EQ(shown.prompts, (std::array<std::string, 4>{"12345678", "abc", "", "pass:"}));
    // Row 3 has no prompt, so it shows empty; row 4 has no response.
    EXPECT_EQ(shown.responses, (std::array<std::string, 4>{"0123456789", "wxyz", "", ""}));
}

TEST(LoginScript, AnEmptyFirstPromptMeansPppAndLeavesTheAreaAlone) {
    DeviceConfig c = filledBlock();
    c.setLoginMode(LoginMode::Terminal);
    const DeviceConfig before = c;
    storeLoginScript(c, {{"", "b", "", ""}, {"x", "y", "", ""}});
    EXPECT_EQ(c.loginMode(), 2);
    EXPECT_EQ(field(c, 132, 85), field(before, 132, 85));
}

TEST(LoginScript, LoadsOnlyInTerminalModeAndNeverOutsideTheResponses) {
    DeviceConfig c;
    c.setLoginMode(LoginMode::Terminal);
    storeLoginScript(c, {{"a:", "b:", "c:", "d:"}, {"1", "22", "333", "4444"}});
    for (std::uint8_t mode : {0, 2, 3}) {
        DeviceConfig other = c;
        other.setLoginModeByte(mode);
        const LoginScript s = loadLoginScript(other);
        EXPECT_EQ(s.prompts, (std::array<std::string, 4>{})) << int(mode);
        EXPECT_EQ(s.responses, (std::array<std::string, 4>{})) << int(mode);
    }

    // Offsets 0, 1, 3, 6, 10 as stored. o0 is not read; a pair that ends past the
    // 48 bytes or below its start loads empty, and its prompt still shows.
    c.bytes[164] = 40;
    c.bytes[167] = 200; // pairs 2 = [3, 200) and 3 = [200, 10)
    LoginScript s = loadLoginScript(c);
    EXPECT_EQ(s.responses, (std::array<std::string, 4>{"1", "22", "", ""}));
    EXPECT_EQ(s.prompts[3], "d:");
    c.bytes[166] = 0; // pair 1 = [1, 0)
    s = loadLoginScript(c);
    EXPECT_EQ(s.responses[1], "");
    EXPECT_EQ(s.responses[0], "1");
}

TEST(LoginScript, OverlongTextsAreCutToTheirFields) {
    DeviceConfig c = filledBlock();
    storeLoginScript(
        c, {{"123456789", "p", "q", "r"}, {std::string(40, 'a'), std::string(20, 'b'), "cc", "d"}});
    EXPECT_EQ(c.scriptPrompt(0), "12345678");
    EXPECT_EQ(field(c, 164, 5), (Bytes{0, 32, 48, 48, 48}));
    EXPECT_EQ(c.bytes[217], 0xA5); // nothing past the login area
}

TEST(LoginScript, TheResponsesShareFortyEightCharacters) {
    EXPECT_EQ(responseKeep({32, 16, 1, 0}, 2), 0u);   // a typed character goes at once
    EXPECT_EQ(responseKeep({10, 10, 20, 20}, 3), 8u); // 20 pasted beside 40: 8 stay
    EXPECT_EQ(responseKeep({10, 10, 20, 8}, 3), 8u);
    EXPECT_EQ(responseKeep({32, 16, 0, 0}, 0), 32u);
    EXPECT_EQ(responseKeep({32, 16, 0, 0}, 4), 0u); // no such field
}

} // namespace

namespace {

using varn::ChangeEffect;
using varn::ConfigButtons;
using varn::ConfigField;
using varn::FieldChange;

// save, verify, loginScript as the buttons stand after one change.
std::array<bool, 3> buttons(const ChangeEffect& e) {
    return {e.buttons.save, e.buttons.verify, e.buttons.loginScript};
}

} // namespace

TEST(ConfigButtons, OpeningFollowsThePhoneNumberAndTheLoginMode) {
    const auto open = [](bool phone, bool ppp) {
        const ConfigButtons b = varn::openingButtons(phone, ppp);
        return std::array<bool, 3>{b.save, b.verify, b.loginScript};
    };
    EXPECT_EQ(open(true, false), (std::array<bool, 3>{false, true, true}));
    EXPECT_EQ(open(true, true), (std::array<bool, 3>{false, true, false}));
    EXPECT_EQ(open(false, false), (std::array<bool, 3>{false, false, false}));
}

TEST(ConfigButtons, ThePhoneNumberSwitchesVerifyAndTheScriptAndBecomesTheDefault) {
    const ConfigButtons all{true, true, true};
    const ChangeEffect cleared = varn::fieldChanged(all, {ConfigField::Phone, true});
    EXPECT_EQ(buttons(cleared), (std::array<bool, 3>{false, false, false}));
    EXPECT_EQ(cleared.buttons.makeDefault, ConfigButtons::Default::Unchanged);
    const ChangeEffect typed = varn::fieldChanged(cleared.buttons, {ConfigField::Phone, false});
    EXPECT_EQ(buttons(typed), (std::array<bool, 3>{true, true, true}));
    EXPECT_EQ(typed.buttons.makeDefault, ConfigButtons::Default::Verify);
    EXPECT_FALSE(typed.pppMode);
}

// Typing an account means PPP: the script goes off, and comes back only when
// both account fields are empty again; PPP mode stays.
TEST(ConfigButtons, AnAccountMeansPpp) {
    const ConfigButtons opened{false, true, true};
    const ChangeEffect typed = varn::fieldChanged(opened, {ConfigField::UserName, false});
    EXPECT_TRUE(typed.pppMode);
    EXPECT_EQ(buttons(typed), (std::array<bool, 3>{true, true, false}));
    EXPECT_EQ(typed.buttons.makeDefault, ConfigButtons::Default::Save);

    FieldChange emptied{ConfigField::UserName, true};
    emptied.otherEmpty = false;
    EXPECT_EQ(buttons(varn::fieldChanged(typed.buttons, emptied)),
              (std::array<bool, 3>{false, true, false}));
    emptied.otherEmpty = true;
    const ChangeEffect bothEmpty = varn::fieldChanged(typed.buttons, emptied);
    EXPECT_EQ(buttons(bothEmpty), (std::array<bool, 3>{false, true, true}));
    EXPECT_TRUE(bothEmpty.pppMode);

    // One character past the limit is cut back by the dialog: nothing else yet.
    FieldChange over{ConfigField::Password, false, true};
    EXPECT_EQ(buttons(varn::fieldChanged(opened, over)), (std::array<bool, 3>{true, true, true}));
}

TEST(ConfigButtons, AnEmptyNameDisablesSave) {
    const ChangeEffect e = varn::fieldChanged({true, true, true}, {ConfigField::Name, true});
    EXPECT_FALSE(e.buttons.save);
    EXPECT_EQ(e.buttons.makeDefault, ConfigButtons::Default::Save);
    EXPECT_TRUE(varn::fieldChanged({false, true, true}, {ConfigField::Octet}).buttons.save);
}

namespace {

// A block as the dialogs store it, in the login mode given.
DeviceConfig dialogBlock(LoginMode mode) {
    DeviceConfig c = filledBlock(0);
    c.setDeviceName("Office");
    c.setIdleMinutes(127);
    c.setAlternativeTries(100);
    c.setAlternativeNumber(1, std::string(15, '5'));
    if (mode == LoginMode::Ppp) {
        c.setLoginMode(LoginMode::Ppp);
        c.setPppUserName("office@isp");
        c.setPppPassword(std::string(48, 'p'));
    } else {
        storeLoginScript(c, {{"login: ", "", "", ""}, {"office", "", "", ""}});
    }
    return c;
}

std::string faultsText(const DeviceConfig& c) {
    std::string all;
    for (const std::string& f : blockFaults(c))
        all += f + "\n";
    return all;
}

TEST(BlockFaults, WhatTheDialogsStoreHasNone) {
    EXPECT_EQ(faultsText(dialogBlock(LoginMode::Ppp)), "");
    EXPECT_EQ(faultsText(dialogBlock(LoginMode::Terminal)), "");
    DeviceConfig fresh = dialogBlock(LoginMode::Ppp);
    fresh.setLoginModeByte(0); // neither chosen yet
    EXPECT_EQ(faultsText(fresh), "");
}

TEST(BlockFaults, EachBrokenRuleIsNamed) {
    DeviceConfig c = dialogBlock(LoginMode::Ppp);
    c.setDeviceName("");
    c.setIdleMinutes(128);
    c.setAlternativeTries(101);
    c.setLoginModeByte(9);
    std::memset(c.data() + DeviceConfig::kAlternativeNumber2, '7', 16);
    EXPECT_EQ(faultsText(c), "deviceName is empty\n"
                             "idleMinutes is 128, not 0..127\n"
                             "loginMode is 9, neither 1 (terminal) nor 2 (PPP)\n"
                             "alternativeTries is 101, not 0..100\n"
                             "alternativeNumber2 has no end within its 15 characters\n");

    DeviceConfig ppp = dialogBlock(LoginMode::Ppp);
    ppp.setPppUserName("");
    std::memset(ppp.data() + DeviceConfig::kPppPassword, 'p', DeviceConfig::kPppPasswordSize);
    EXPECT_EQ(faultsText(ppp), "pppUserName is empty in PPP mode\n"
                               "pppPassword has no end within its 48 characters\n");
}

TEST(BlockFaults, ALoginScriptMustBeOneTheEditorCouldPack) {
    DeviceConfig noPrompt = dialogBlock(LoginMode::Terminal);
    noPrompt.setScriptPrompt(0, "");
    EXPECT_NE(faultsText(noPrompt).find("no first prompt"), std::string::npos);

    DeviceConfig decreasing = dialogBlock(LoginMode::Terminal);
    decreasing.bytes[DeviceConfig::kScriptOffsets + 3] = 2; // o3 below o2 = 6
    EXPECT_NE(faultsText(decreasing).find("decrease at 3"), std::string::npos);

    DeviceConfig beyond = dialogBlock(LoginMode::Terminal);
    beyond.bytes[DeviceConfig::kScriptOffsets + 4] = 49;
    EXPECT_NE(faultsText(beyond).find("offset 4 is 49"), std::string::npos);

    // o0 is never read, so whatever it holds is no fault.
    DeviceConfig o0 = dialogBlock(LoginMode::Terminal);
    o0.bytes[DeviceConfig::kScriptOffsets] = 40;
    EXPECT_EQ(faultsText(o0), "");
}

} // namespace
