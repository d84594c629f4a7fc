// config set's edits with the dialogs' rules, the checks a backup file passes
// before its block may be written, and the change list's order.

#include "backup.h"
#include "cli.h"
#include "config/login_script.h"
#include "edit.h"
#include "files.h"
#include "protocol/wire.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>

using namespace varnctl;
using varn::DeviceConfig;
using varn::LoginMode;
using varn::makeAddress;

namespace {

// An appliance's block as the dialogs leave it, with the bytes nobody
// interprets filled so that an edit that touches them shows.
DeviceConfig applianceBlock(LoginMode mode) {
    DeviceConfig b;
    for (std::size_t i = 0; i < DeviceConfig::kSize; ++i)
        b.bytes[i] = std::uint8_t(i * 37 + 11);
    b.setDeviceName("Office");
    b.setDevicePassword("1234");
    b.setLanIpAddress(makeAddress(192, 168, 1, 254));
    b.setIdleMinutes(15);
    b.data()[DeviceConfig::kDialOptions] = 0x83;
    b.setPhoneNumber("5550100");
    if (mode == LoginMode::Ppp) {
        b.setLoginMode(LoginMode::Ppp);
        b.setPppUserName("office@isp");
        b.setPppPassword("s3cret");
    } else {
        varn::storeLoginScript(b, {{"login: ", "ssword: ", "", ""}, {"lab", "pw", "", ""}});
    }
    b.setUseAlternativeNumbers(false);
    b.setAlternativeTries(2);
    b.setAlternativeNumber(1, "5550101");
    b.setAlternativeNumber(2, "");
    return b;
}

Edit edit(const DeviceConfig& b, const std::vector<Assignment>& assignments) {
    return applyAssignments(b, assignments, false);
}

std::string errorsOf(const std::vector<std::string>& errors) {
    std::string all;
    for (const std::string& e : errors)
        all += e + "\n";
    return all;
}

TEST(ConfigSet, StoresEachNamedSettingAndNoOtherByte) {
    const DeviceConfig before = applianceBlock(LoginMode::Ppp);
    const Edit e = edit(before, {{"phoneNumber", "5550999"},
                                 {"lanIpAddress", "10.1.2.3"},
                                 {"idleMinutes", "127"},
                                 {"blindDial", "true"},
                                 {"alternativeNumber2", std::string(15, '7')},
                                 {"devicePassword", ""},
                                 {"deviceName", "Caf\xc3\xa9"}, // UTF-8 in, Latin-1 stored
                                 {"pppPassword", "n3w"}});
    ASSERT_EQ(errorsOf(e.errors), "");
    DeviceConfig expected = before;
    expected.setPhoneNumber("5550999");
    expected.setLanIpAddress(makeAddress(10, 1, 2, 3));
    expected.setIdleMinutes(127);
    expected.data()[DeviceConfig::kDialOptions] = 0x93; // the blind-dial bit alone
    expected.setAlternativeNumber(2, std::string(15, '7'));
    expected.setDevicePassword("");
    expected.setDeviceName("Caf\xe9");
    // As the dialog's Save: one NUL, the old password's tail left behind it.
    std::memcpy(expected.data() + DeviceConfig::kPppPassword, "n3w", 4);
    for (std::size_t i = 0; i < DeviceConfig::kSize; ++i)
        EXPECT_EQ(int(e.block.bytes[i]), int(expected.bytes[i])) << "byte " << i;
}

TEST(ConfigSet, AnAccountMeansPppAndAScriptTerminalAsInTheDialogs) {
    // Typing a user name in terminal mode: PPP, with the password field empty.
    Edit e = edit(applianceBlock(LoginMode::Terminal), {{"pppUserName", "me@isp"}});
    ASSERT_EQ(errorsOf(e.errors), "");
    EXPECT_TRUE(e.block.inLoginMode(LoginMode::Ppp));
    EXPECT_EQ(e.block.pppUserName(), "me@isp");
    EXPECT_EQ(e.block.pppPassword(), "");

    // A script in PPP mode starts from the editor's empty fields.
    e = edit(applianceBlock(LoginMode::Ppp),
             {{"scriptPrompt1", "name:"}, {"scriptResponse1", "x"}});
    ASSERT_EQ(errorsOf(e.errors), "");
    EXPECT_TRUE(e.block.inLoginMode(LoginMode::Terminal));
    EXPECT_EQ(e.block.scriptResponse(0), "x");
    EXPECT_EQ(e.block.scriptOffset(4), 1);

    // One pair of a terminal script changed, the others kept.
    e = edit(applianceBlock(LoginMode::Terminal), {{"scriptResponse2", "longer-pw"}});
    ASSERT_EQ(errorsOf(e.errors), "");
    EXPECT_EQ(e.block.scriptResponse(0), "lab");
    EXPECT_EQ(e.block.scriptResponse(1), "longer-pw");

    // Refusals the dialogs make.
    e = edit(applianceBlock(LoginMode::Terminal), {{"loginMode", "ppp"}});
    EXPECT_NE(errorsOf(e.errors).find("You have to key in 1. PPP Mode username"),
              std::string::npos);
    e = edit(applianceBlock(LoginMode::Ppp), {{"loginMode", "terminal"}});
    EXPECT_NE(errorsOf(e.errors).find("give scriptPrompt1"), std::string::npos);
    e = edit(applianceBlock(LoginMode::Ppp), {{"pppUserName", "a"}, {"scriptPrompt1", "b"}});
    EXPECT_NE(errorsOf(e.errors).find("not both"), std::string::npos);
    e = edit(applianceBlock(LoginMode::Terminal), {{"scriptResponse3", std::string(32, 'r')},
                                                   {"scriptResponse4", std::string(12, 'r')}});
    EXPECT_NE(errorsOf(e.errors).find("49 characters in all, at most 48"), std::string::npos);
    // The Advanced settings are checked together, as their dialog's OK does.
    DeviceConfig tries = applianceBlock(LoginMode::Ppp);
    tries.setAlternativeTries(250);
    e = edit(tries, {{"idleMinutes", "5"}});
    EXPECT_NE(errorsOf(e.errors).find("alternativeTries as the appliance holds it"),
              std::string::npos);
    EXPECT_TRUE(edit(tries, {{"idleMinutes", "5"}, {"alternativeTries", "3"}}).errors.empty());
}

TEST(ConfigSet, ValuesAreCheckedBeforeAnythingIsSent) {
    const std::string errors = errorsOf(checkAssignments({{"deviceName", ""},
                                                          {"deviceName", "x"},
                                                          {"phoneNumber", std::string(17, '5')},
                                                          {"idleMinutes", "128"},
                                                          {"alternativeTries", "-1"},
                                                          {"blindDial", "maybe"},
                                                          {"loginMode", "9"},
                                                          {"lanIpAddress", "10.0.0.0"},
                                                          {"pppPassword", "\xe2\x82\xac"},
                                                          {"dialOptions", "16"},
                                                          {"colour", "red"}},
                                                         false));
    EXPECT_EQ(errors, "deviceName cannot be empty: the Configuration dialog saves no block "
                      "without a name\n"
                      "deviceName is given twice\n"
                      "phoneNumber holds at most 16 characters, not 17\n"
                      "idleMinutes: \"128\": Please enter an integer between 0 and 127.\n"
                      "alternativeTries: \"-1\": Please enter a positive integer.\n"
                      "blindDial: \"maybe\" is not true or false\n"
                      "loginMode: \"9\" is neither terminal (1) nor ppp (2)\n"
                      "lanIpAddress: 10.0.0.0 is the address of its network, not of a host\n"
                      "pppPassword: \"\xe2\x82\xac\" holds characters the appliance cannot store "
                      "(only Latin-1)\n"
                      "dialOptions is not set whole: its blind-dial bit is blindDial\n"
                      "\"colour\" is not a field config set changes\n");
    EXPECT_TRUE(checkAssignments({{"lanIpAddress", "127.0.0.9"}}, true).empty());
}

TEST(ConfigGetField, PrintsOneSettingOfTheBlocksLoginMode) {
    const DeviceConfig b = applianceBlock(LoginMode::Ppp);
    EXPECT_EQ(fieldText(b, "phoneNumber"), "5550100");
    EXPECT_EQ(fieldText(b, "idleMinutes"), "15");
    EXPECT_EQ(fieldText(b, "blindDial"), "false");
    EXPECT_EQ(fieldText(b, "lanIpAddress"), "192.168.1.254");
    EXPECT_FALSE(fieldText(b, "scriptPrompt1"));
    EXPECT_TRUE(isViewField("scriptPrompt1"));
    const Parsed p = parseArguments({"config", "get", "Office", "--field", "colour"});
    EXPECT_FALSE(p.options);
    EXPECT_NE(p.error.find("not a field"), std::string::npos);
}

std::string refusedBecause(const std::string& text) {
    const BackupRead read = readBackup(text);
    EXPECT_FALSE(read.backup);
    return read.error;
}

TEST(BackupFile, WhatAPersonReadsMustBeWhatIsRestored) {
    const std::string good = writeBackup({applianceBlock(LoginMode::Ppp), {}});
    // A second "fields" object after the first: a parser would keep one.
    std::string twice = good;
    twice.insert(twice.rfind('}'), ", \"fields\": {}");
    EXPECT_NE(refusedBecause(twice).find("the key \"fields\" twice"), std::string::npos);

    std::string latin1 = good;
    latin1.replace(latin1.find("office@isp"), 1, "\xf6");
    EXPECT_NE(refusedBecause(latin1).find("not UTF-8 text (byte "), std::string::npos);

    // Larger than a backup: the real size, not what was read of it.
    const std::string huge = ::testing::TempDir() + "huge-backup.json";
    std::FILE* f = std::fopen(huge.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ASSERT_EQ(truncate(huge.c_str(), 104857600), 0);
    std::string text, error;
    EXPECT_EQ(readInputFile(huge, kBackupMaxBytes, text, &error), FileRead::TooLarge);
    EXPECT_NE(error.find("(104857600 bytes"), std::string::npos) << error;
    std::remove(huge.c_str());

    // Every field edited by hand is named, and config set is the way.
    nlohmann::json edited = nlohmann::json::parse(good);
    edited["fields"]["phoneNumber"] = "5559999";
    edited["fields"]["idleMinutes"] = 20;
    const std::string why = refusedBecause(edited.dump());
    EXPECT_NE(why.find("phoneNumber"), std::string::npos) << why;
    EXPECT_NE(why.find("idleMinutes"), std::string::npos) << why;
    EXPECT_NE(why.find("varnctl config set"), std::string::npos) << why;
}

std::vector<std::string> changedNames(const DeviceConfig& a, const DeviceConfig& b,
                                      bool identityFirst = false) {
    std::vector<std::string> names;
    for (const FieldChange& c : diffBlocks(a, b, identityFirst).fields)
        names.push_back(c.name);
    return names;
}

TEST(ChangeList, OneOrderWhateverTheLoginModes) {
    const DeviceConfig ppp = applianceBlock(LoginMode::Ppp);
    const DeviceConfig terminal = applianceBlock(LoginMode::Terminal);
    const std::vector<std::string> forth = changedNames(ppp, terminal);
    EXPECT_EQ(forth, changedNames(terminal, ppp));
    EXPECT_EQ(forth.front(), "loginMode");
    EXPECT_EQ(forth[1], "pppUserName");
    EXPECT_EQ(forth[3], "scriptPrompt1");

    // Another appliance's backup: its name and address first.
    DeviceConfig other = ppp;
    other.setDeviceName("Lab");
    other.setLanIpAddress(makeAddress(192, 168, 1, 3));
    other.setDevicePassword("");
    EXPECT_EQ(changedNames(ppp, other, true),
              (std::vector<std::string>{"deviceName", "lanIpAddress", "devicePassword"}));
}

} // namespace
