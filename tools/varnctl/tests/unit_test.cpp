// varnctl's pure parts: the command line, the backup file, the change list
// shown before a restore, the printed tables and the choice of interfaces.

#include "backup.h"
#include "cli.h"
#include "interfaces.h"
#include "link/codec.h"
#include "link/device_state.h"
#include "output.h"
#include "protocol/wire.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

using namespace varnctl;
using varn::DeviceConfig;
using varn::makeAddress;

namespace {

Options parse(const std::vector<std::string>& args) {
    Parsed p = parseArguments(args);
    EXPECT_TRUE(p.options) << p.error;
    return p.options.value_or(Options{});
}

std::string refusal(const std::vector<std::string>& args) {
    Parsed p = parseArguments(args);
    EXPECT_FALSE(p.options) << "accepted: " << ::testing::PrintToString(args);
    return p.error;
}

TEST(Arguments, CommandsTheirOperandsAndOptions) {
    Options o = parse({"discover", "--json", "--timeout", "2500", "--all-interfaces"});
    EXPECT_EQ(o.command, Command::Discover);
    EXPECT_TRUE(o.json);
    EXPECT_TRUE(o.allInterfaces);
    EXPECT_EQ(o.timeoutMs, 2500);

    o = parse({"status", "--watch"});
    EXPECT_EQ(o.command, Command::Status);
    EXPECT_TRUE(o.watch);
    EXPECT_FALSE(o.json);

    o = parse({"config", "get", "VARN-Office", "-o", "office.json", "--address=127.0.0.2",
               "--password-file", "pw"});
    EXPECT_EQ(o.command, Command::ConfigGet);
    EXPECT_EQ(o.name, "VARN-Office");
    EXPECT_EQ(o.outputFile, "office.json");
    EXPECT_EQ(o.passwordFile, "pw");
    ASSERT_TRUE(o.address);
    EXPECT_EQ(*o.address, makeAddress(127, 0, 0, 2));

    o = parse({"config", "put", "VARN-Office", "-i", "office.json", "-y"});
    EXPECT_EQ(o.command, Command::ConfigPut);
    EXPECT_EQ(o.inputFile, "office.json");
    EXPECT_TRUE(o.yes);

    o = parse({"set-ip", "Lab", "192.168.1.254"});
    EXPECT_EQ(o.command, Command::SetIp);
    EXPECT_EQ(o.name, "Lab");
    EXPECT_EQ(o.newAddress, makeAddress(192, 168, 1, 254));
}

TEST(Arguments, NetworkOptionsAnywhereWithTheUtilitysDefaults) {
    Options o = parse({"status"});
    EXPECT_EQ(o.endpoint.devicePort, 777);
    EXPECT_EQ(o.endpoint.localPort, 777);
    EXPECT_EQ(o.endpoint.broadcastAddress, varn::kBroadcastAddress);
    EXPECT_EQ(o.timeoutMs, 100);

    o = parse({"--port", "7777", "discover", "--broadcast", "127.255.255.255", "--bind=40000"});
    EXPECT_EQ(o.endpoint.devicePort, 7777);
    EXPECT_EQ(o.endpoint.localPort, 40000);
    EXPECT_EQ(o.endpoint.broadcastAddress, makeAddress(127, 255, 255, 255));
    EXPECT_EQ(o.endpoint.probeAddress, makeAddress(127, 255, 255, 255));
}

TEST(Arguments, RefusalsSayWhatIsWrong) {
    EXPECT_NE(refusal({"dance"}).find("unknown command"), std::string::npos);
    EXPECT_NE(refusal({"discover", "--fast"}).find("unknown option"), std::string::npos);
    EXPECT_NE(refusal({"discover", "--watch"}).find("not an option of discover"),
              std::string::npos);
    EXPECT_NE(refusal({"status", "--yes"}).find("not an option of status"), std::string::npos);
    EXPECT_NE(refusal({"config", "get"}).find("NAME"), std::string::npos);
    EXPECT_NE(refusal({"config"}).find("get, put or set"), std::string::npos);
    EXPECT_NE(refusal({"config", "edit", "x"}).find("config get, put or set"), std::string::npos);
    EXPECT_NE(refusal({"config", "put", "Office"}).find("-i FILE"), std::string::npos);
    EXPECT_NE(refusal({"config", "get", "Thirteen-char"}).find("1 to 12"), std::string::npos);
    EXPECT_NE(refusal({"status", "extra"}).find("does not take \"extra\""), std::string::npos);
    EXPECT_NE(refusal({"set-ip", "Lab"}).find("NEW-IP"), std::string::npos);
    EXPECT_NE(refusal({"discover", "--timeout"}).find("needs a value"), std::string::npos);
    EXPECT_NE(refusal({"discover", "--json=yes"}).find("takes no value"), std::string::npos);
    EXPECT_NE(refusal({"discover", "--timeout", "1", "--timeout", "2"}).find("twice"),
              std::string::npos);
    EXPECT_NE(refusal({"discover", "--all-interfaces", "--broadcast", "10.0.0.255"})
                  .find("leave out --broadcast"),
              std::string::npos);
    for (const char* port : {"0", "65536", "77a", "", "-1"})
        EXPECT_NE(refusal({"status", "--port", port}).find("not a port number"), std::string::npos);
    for (const char* ms : {"soon", "-5", "600001"})
        EXPECT_NE(refusal({"discover", "--timeout", ms}).find("milliseconds"), std::string::npos);
}

TEST(Arguments, AddressesNeedFourOctetsUpTo255) {
    // The IP dialog's rule: each octet a whole number 0..255.
    for (const char* bad : {"256.1.1.1", "1.2.3", "1.2.3.4.5", "1..2.3", "a.b.c.d", "1.2.3.-4", "",
                            "1.2.3.4 ", "0x7f.0.0.1"})
        EXPECT_FALSE(parseAddress(bad)) << bad;
    EXPECT_EQ(parseAddress("0.0.0.0"), makeAddress(0, 0, 0, 0));
    EXPECT_EQ(parseAddress("255.255.255.255"), varn::kBroadcastAddress);
    EXPECT_EQ(parseAddress("010.1.2.3"), makeAddress(10, 1, 2, 3));
    EXPECT_NE(refusal({"set-ip", "Lab", "10.0.0.300"}).find("Invalid IP Address !"),
              std::string::npos);
    EXPECT_NE(refusal({"config", "get", "Lab", "--address", "10.0.0"}).find("--address"),
              std::string::npos);
}

TEST(Arguments, HelpForEveryCommand) {
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{}, ""},
        {{"--help"}, ""},
        {{"help"}, ""},
        {{"discover", "--help"}, "discover"},
        {{"status", "-h"}, "status"},
        {{"config", "--help"}, "config"},
        {{"config", "get", "--help"}, "config get"},
        {{"help", "config", "put"}, "config put"},
        {{"set-ip", "--help"}, "set-ip"},
    };
    for (const auto& [args, topic] : cases) {
        Options o = parse(args);
        EXPECT_EQ(o.command, Command::Help);
        EXPECT_EQ(o.helpTopic, topic);
    }
    for (const char* topic : {"discover", "status", "config get", "config put", "set-ip"}) {
        const std::string text = helpText(topic);
        EXPECT_NE(text.find(std::string("Usage: varnctl ") + topic), std::string::npos) << text;
        EXPECT_NE(text.find("--bind"), std::string::npos);
        EXPECT_NE(text.find("Exit status"), std::string::npos);
    }
}

// A block with something in every field and in the bytes nobody interprets.
DeviceConfig sampleBlock(std::uint8_t loginMode) {
    DeviceConfig b;
    for (std::size_t i = 0; i < DeviceConfig::kSize; ++i)
        b.bytes[i] = std::uint8_t(i * 37 + 11);
    b.setDeviceName("Caf\xe9-12-chr"); // an 8-bit character, 12 characters
    b.setDevicePassword("p4ss");
    b.setLanIpAddress(makeAddress(192, 168, 1, 254));
    b.setIdleMinutes(15);
    b.data()[DeviceConfig::kDialOptions] = 0x83;
    b.setPhoneNumber("5550100");
    b.setLoginModeByte(loginMode);
    if (loginMode == 2) {
        b.setPppUserName("office@isp");
        b.setPppPassword("s3cret");
    } else if (loginMode == 1) {
        b.clearLoginArea();
        b.setScriptPrompt(0, "login: ");
        b.setScriptResponses({"lab", "", "pw", ""});
    }
    b.setUseAlternativeNumbers(true);
    b.setAlternativeTries(2);
    b.setAlternativeNumber(1, "5550101");
    b.setAlternativeNumber(2, "");
    return b;
}

std::string fieldValue(const DeviceConfig& b, const std::string& name) {
    for (const Field& f : interpretFields(b))
        if (f.name == name)
            return f.value.dump();
    return "(absent)";
}

TEST(BackupFile, RoundTripKeepsEveryByte) {
    for (std::uint8_t mode : {1, 2, 0, 77}) {
        Backup original{sampleBlock(mode), {"Caf\xe9", "192.168.1.254", "V2.40", "2024-01-01"}};
        const BackupRead read = readBackup(writeBackup(original));
        ASSERT_TRUE(read.backup) << read.error;
        EXPECT_EQ(read.backup->block, original.block);
        EXPECT_EQ(read.backup->source.address, "192.168.1.254");
    }
}

TEST(BackupFile, ReadableViewNamesTheRecordsFields) {
    const nlohmann::json file = nlohmann::json::parse(
        writeBackup({sampleBlock(2), {"Office", "192.168.1.254", "V2.40", "now"}}));
    const nlohmann::json& f = file["fields"];
    EXPECT_EQ(f["deviceName"], "Caf\xc3\xa9-12-chr"); // as UTF-8
    EXPECT_EQ(f["devicePassword"], "p4ss");
    EXPECT_EQ(f["lanIpAddress"], "192.168.1.254");
    EXPECT_EQ(f["idleMinutes"], 15);
    EXPECT_EQ(f["dialOptions"], 0x83);
    EXPECT_EQ(f["blindDial"], false);
    EXPECT_EQ(f["phoneNumber"], "5550100");
    EXPECT_EQ(f["loginMode"], 2);
    EXPECT_EQ(f["pppUserName"], "office@isp");
    EXPECT_EQ(f["pppPassword"], "s3cret");
    EXPECT_FALSE(f.contains("scriptPrompt1")); // the other view of the login area
    EXPECT_EQ(f["useAlternativeNumbers"], true);
    EXPECT_EQ(f["alternativeNumber1"], "5550101");
    EXPECT_EQ(file["block"]["hex"].size(), 16u);
    EXPECT_EQ(file["block"]["size"], 512);

    EXPECT_EQ(fieldValue(sampleBlock(1), "scriptResponse1"), "\"lab\"");
    EXPECT_EQ(fieldValue(sampleBlock(1), "scriptPrompt1"), "\"login: \"");
    EXPECT_EQ(fieldValue(sampleBlock(1), "pppUserName"), "(absent)");
    EXPECT_EQ(fieldValue(sampleBlock(0), "scriptPrompt1"), "(absent)");
}

std::string replaceFirst(std::string text, const std::string& from, const std::string& to) {
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

std::string refusedBecause(const std::string& text) {
    const BackupRead read = readBackup(text);
    EXPECT_FALSE(read.backup);
    return read.error;
}

TEST(BackupFile, TruncatedOrDamagedFilesAreRefused) {
    const std::string good = writeBackup({sampleBlock(2), {}});
    ASSERT_TRUE(readBackup(good).backup);

    // Cut anywhere: never accepted.
    for (std::size_t length = 0; length < good.size() - 2; length += 97)
        EXPECT_FALSE(readBackup(good.substr(0, length)).backup) << length;
    EXPECT_EQ(refusedBecause(""), "the file is empty");

    nlohmann::json file = nlohmann::json::parse(good);
    // A hex line lost: the block is short.
    nlohmann::json shortFile = file;
    shortFile["block"]["hex"].erase(15);
    EXPECT_NE(refusedBecause(shortFile.dump()).find("480 bytes, not 512 (truncated)"),
              std::string::npos);
    nlohmann::json longFile = file;
    longFile["block"]["hex"].push_back("00");
    EXPECT_NE(refusedBecause(longFile.dump()).find("513 bytes"), std::string::npos);

    // One byte changed without its checksum.
    std::string line = file["block"]["hex"][3];
    line[10] = line[10] == '0' ? '1' : '0';
    nlohmann::json flipped = file;
    flipped["block"]["hex"][3] = line;
    EXPECT_NE(refusedBecause(flipped.dump()).find("checksum"), std::string::npos);

    nlohmann::json notHex = file;
    notHex["block"]["hex"][0] = std::string(62, '0') + "zz";
    EXPECT_NE(refusedBecause(notHex.dump()).find("not a hex byte"), std::string::npos);

    // The view edited by hand: the edit would not be restored, so it is refused.
    nlohmann::json edited = file;
    edited["fields"]["phoneNumber"] = "5559999";
    EXPECT_NE(refusedBecause(edited.dump()).find("phoneNumber"), std::string::npos);
    nlohmann::json extra = file;
    extra["fields"]["scriptPrompt1"] = "x";
    EXPECT_NE(refusedBecause(extra.dump()).find("scriptPrompt1"), std::string::npos);
    nlohmann::json missing = file;
    missing["fields"].erase("loginMode");
    EXPECT_NE(refusedBecause(missing.dump()).find("loginMode"), std::string::npos);

    EXPECT_NE(refusedBecause(replaceFirst(good, "varnctl-configuration-backup", "other"))
                  .find("not a varnctl configuration backup"),
              std::string::npos);
    EXPECT_NE(
        refusedBecause(replaceFirst(good, "\"version\": 1", "\"version\": 2")).find("version"),
        std::string::npos);
    EXPECT_NE(refusedBecause("[1, 2]").find("not a varnctl"), std::string::npos);
    EXPECT_NE(refusedBecause(std::string(kBackupMaxBytes + 1, ' ')).find("larger"),
              std::string::npos);
}

TEST(Checksum, Crc32OfTheUsualCheckString) {
    const char* text = "123456789";
    EXPECT_EQ(crc32(reinterpret_cast<const std::uint8_t*>(text), 9), 0xCBF43926u);
}

TEST(ChangeList, NamesEachChangedFieldAndCountsEveryByte) {
    const DeviceConfig before = sampleBlock(2);
    EXPECT_TRUE(diffBlocks(before, before).fields.empty());
    EXPECT_EQ(diffBlocks(before, before).bytesDiffering, 0);

    DeviceConfig after = before;
    after.setPhoneNumber("5550999");
    after.setPppPassword("n3w");
    BlockDiff diff = diffBlocks(before, after);
    ASSERT_EQ(diff.fields.size(), 2u);
    EXPECT_EQ(diff.fields[0].name, "phoneNumber");
    EXPECT_EQ(diff.fields[0].before, "\"5550100\"");
    EXPECT_EQ(diff.fields[0].after, "\"5550999\"");
    EXPECT_EQ(diff.fields[1].name, "pppPassword");
    EXPECT_EQ(diff.fields[1].after, "(hidden)"); // passwords are not printed
    const std::string text = formatDiff(diff);
    EXPECT_EQ(text.find("n3w"), std::string::npos);
    EXPECT_NE(text.find("phoneNumber  \"5550100\" -> \"5550999\""), std::string::npos) << text;

    // Only a byte the utility does not interpret: no field, but counted.
    DeviceConfig prefix = before;
    prefix.bytes[0] ^= 0xFF;
    diff = diffBlocks(before, prefix);
    EXPECT_TRUE(diff.fields.empty());
    EXPECT_EQ(diff.bytesDiffering, 1);
    EXPECT_NE(formatDiff(diff).find("1 of 512 bytes differ"), std::string::npos);

    // Another login mode: the fields of both views, each "(not used)" on one side.
    diff = diffBlocks(sampleBlock(2), sampleBlock(1));
    std::vector<std::string> names;
    for (const FieldChange& c : diff.fields)
        names.push_back(c.name);
    EXPECT_EQ(names[0], "loginMode");
    EXPECT_EQ(names[1], "pppUserName");
    EXPECT_EQ(diff.fields[1].after, "(not used)");
    EXPECT_NE(std::find(names.begin(), names.end(), "scriptResponse3"), names.end());
    EXPECT_EQ(diff.fields.back().before, "(not used)");
}

// A status reply (36) as an appliance sends it.
std::vector<std::uint8_t> statusReply(const std::string& name, std::uint8_t state,
                                      std::uint32_t wan, std::uint16_t speed) {
    std::vector<std::uint8_t> d(28, 0);
    std::memcpy(d.data(), varn::kMagic, varn::kMagicSize);
    d[6] = varn::kStatusPoll | varn::kReplyBit;
    std::memcpy(&d[8], name.data(), name.size());
    d[20] = state;
    std::memcpy(&d[22], &wan, 4);
    varn::writeLe16(&d[26], speed);
    return d;
}

TEST(Output, StatusRowsSortedAsTheMonitorListsThem) {
    varn::MonitorTable t;
    const auto update = [&t](const std::vector<std::uint8_t>& d) {
        t.update(varn::decodeStatus({d.data(), d.size()}));
    };
    for (const auto& d : {statusReply("zeta", 5, makeAddress(203, 0, 113, 45), 28800),
                          statusReply("beta", 0, 0, 0), statusReply("Alpha", 0, 0, 0)})
        update(d);
    t.markUnknown(2); // zeta and beta did not answer the last poll
    update(statusReply("zeta", 5, makeAddress(203, 0, 113, 45), 28800));

    const auto rows = statusRows(t);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "Alpha");
    EXPECT_EQ(rows[1].name, "beta");
    EXPECT_EQ(rows[2].name, "zeta");
    // The codes beside their texts; an appliance not heard from has none.
    EXPECT_EQ(statusJson(rows, "2026-01-02T03:04:05Z"),
              "{\"time\":\"2026-01-02T03:04:05Z\",\"appliances\":["
              "{\"name\":\"Alpha\",\"state\":0,\"code\":0,\"status\":\"Ready\","
              "\"wan_ip\":null,\"speed\":null},{\"name\":\"beta\",\"state\":null,"
              "\"code\":null,\"status\":\"Unknown\",\"wan_ip\":null,\"speed\":null},"
              "{\"name\":\"zeta\",\"state\":5,\"code\":0,\"status\":\"ISP Connected\","
              "\"wan_ip\":\"203.0.113.45\",\"speed\":28800}]}\n");
    EXPECT_EQ(statusTable(rows), "Device Name  Status         WAN IP        Speed(bps)\n"
                                 "Alpha        Ready\n"
                                 "beta         Unknown\n"
                                 "zeta         ISP Connected  203.0.113.45  28800\n");
}

TEST(Output, DeviceRowsInAnswerOrderWithTheirInterface) {
    varn::DeviceTable table;
    table.add({varn::shownName("Lab"), makeAddress(10, 0, 0, 7), 5});
    table.add({varn::shownName("Office"), makeAddress(10, 0, 0, 12), 9}); // 6 and up read as Ready
    const auto rows = deviceRows(table, "eth1");
    EXPECT_EQ(devicesTable(rows, true), "Interface  Device Name  LAN IP Address  Status\n"
                                        "eth1       Lab          10.0.0.7        ISP Connected\n"
                                        "eth1       Office       10.0.0.12       Ready\n");
    // One line, the answered code beside the Device List's text.
    EXPECT_EQ(devicesJson(rows, false),
              "[{\"name\":\"Lab\",\"address\":\"10.0.0.7\",\"state\":5,\"status\":"
              "\"ISP Connected\"},{\"name\":\"Office\",\"address\":\"10.0.0.12\","
              "\"state\":9,\"status\":\"Ready\"}]\n");
}

TEST(Interfaces, SweepsGoOutOnUpInterfacesWithABroadcastAddress) {
    const std::uint32_t bcast1 = makeAddress(10, 0, 0, 255), bcast2 = makeAddress(10, 1, 0, 255);
    std::vector<InterfaceAddress> all = {
        {"lo", makeAddress(127, 0, 0, 1), 0, true, false, true},
        {"eth0", makeAddress(10, 0, 0, 1), bcast1, true, true, false},
        {"eth0", makeAddress(10, 0, 0, 2), bcast1, true, true, false}, // second address
        {"eth1", makeAddress(10, 1, 0, 1), bcast2, true, true, false},
        {"eth2", makeAddress(10, 2, 0, 1), makeAddress(10, 2, 0, 255), false, true, false},
        {"tun0", makeAddress(10, 3, 0, 1), 0, true, false, false},
    };
    const auto usable = broadcastInterfaces(all);
    ASSERT_EQ(usable.size(), 2u);
    EXPECT_EQ(usable[0].name, "eth0");
    EXPECT_EQ(usable[0].address, makeAddress(10, 0, 0, 1));
    EXPECT_EQ(usable[1].name, "eth1");
    EXPECT_EQ(usable[1].broadcast, bcast2);
}

} // namespace
