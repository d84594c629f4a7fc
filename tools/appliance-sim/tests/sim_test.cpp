// The simulator's own side of the wire, over plain bytes: what it refuses,
// what it answers and how its appliances change.

#include "appliance.h"
#include "codec.h"
#include "scenario.h"
#include "server.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using namespace sim;

namespace {

Bytes request(std::uint8_t type, std::size_t length) {
    Bytes b(length, 0);
    std::memcpy(b.data(), "Quorix", 6);
    b[6] = type;
    return b;
}

Request decoded(const Bytes& b) {
    std::string why;
    auto r = decodeRequest(b.data(), b.size(), &why);
    EXPECT_TRUE(r.has_value()) << why;
    return r ? *r : Request{};
}

bool refused(const Bytes& b) {
    std::string why;
    bool bad = !decodeRequest(b.data(), b.size(), &why).has_value();
    EXPECT_TRUE(!bad || !why.empty());
    return bad;
}

constexpr std::uint32_t kPc = 0x7F000001;    // 127.0.0.1
constexpr std::uint32_t kFirst = 0x7F000002; // 127.0.0.2

ApplianceProfile profile(IspScript::Kind kind) {
    Scenario s = defaultScenario();
    for (auto& a : s.appliances)
        if (a.isp.kind == kind)
            return a;
    return s.appliances[0];
}

Bytes nameField(const std::string& name, char pad) {
    Bytes b(12, std::uint8_t(pad));
    std::memcpy(b.data(), name.data(), name.size());
    return b;
}

} // namespace

TEST(Codec, EveryCatalogueTypeAtItsExactLengthOnly) {
    const std::uint8_t types[] = {1, 2, 3, 4, 5, 7, 8, 9, 11, 12, 13, 14, 15, 33, 36};
    for (std::uint8_t t : types) {
        std::size_t n = requestLength(t);
        Bytes ok = request(t, n);
        if (t == 2)
            std::memset(&ok[8], ' ', 12);
        EXPECT_FALSE(refused(ok)) << int(t);
        EXPECT_TRUE(refused(request(t, n + 1))) << int(t);
        EXPECT_TRUE(refused(request(t, n - 1))) << int(t);
    }
    EXPECT_TRUE(refused(request(6, 8)));    // not in the catalogue
    EXPECT_TRUE(refused(request(0x81, 8))); // a reply, e.g. our own coming back
    Bytes padded = request(9, 8);
    padded[7] = 1;
    EXPECT_TRUE(refused(padded));
    Bytes magic = request(9, 8);
    magic[0] = 'q';
    EXPECT_TRUE(refused(magic));
    EXPECT_TRUE(refused(Bytes{'Q', 'u', 'o'}));
}

TEST(Codec, TextFieldsMustBePaddedAsTheCatalogueSays) {
    Bytes dial = request(3, 24);
    std::memcpy(&dial[8], "5550100", 7);
    EXPECT_EQ(decoded(dial).phoneNumber, "5550100");
    dial[20] = 'x'; // garbage after the terminator
    EXPECT_TRUE(refused(dial));

    Bytes read = request(2, 20);
    Bytes name = nameField("VARN-Lab", ' ');
    std::copy(name.begin(), name.end(), read.begin() + 8);
    EXPECT_EQ(decoded(read).name, "VARN-Lab");
    read[19] = 0; // a read request carries the space-padded list field
    EXPECT_TRUE(refused(read));

    Bytes login = request(4, 61);
    login[8] = 1;
    EXPECT_FALSE(refused(login));
    login[30] = 'u'; // a terminal login carries no account
    EXPECT_TRUE(refused(login));

    Bytes response = request(5, 42);
    response[8] = 3;
    std::memcpy(&response[10], "lab", 3);
    EXPECT_EQ(decoded(response).response, "lab");
    response[14] = 'z'; // beyond the stated length
    EXPECT_TRUE(refused(response));
    Bytes longResponse = request(5, 42);
    longResponse[8] = 40; // only 32 of 40 travel
    std::memset(&longResponse[10], 'a', 32);
    EXPECT_EQ(decoded(longResponse).response.size(), 32u);
}

TEST(Appliance, BlockCarriesItsFieldsAndNonZeroPrivateBytes) {
    ApplianceProfile s = profile(IspScript::Kind::Terminal);
    Block b = buildBlock(s, kFirst);
    for (const auto& stretch : block::kPrivate)
        for (std::size_t i = stretch.begin; i < stretch.end; ++i)
            ASSERT_NE(b[i], 0) << "offset " << i;
    EXPECT_EQ(readText(&b[2], 12), s.name);
    EXPECT_EQ(readAddress(&b[18]), kFirst);
    EXPECT_EQ(b[24], s.dialOptions);
    EXPECT_EQ(b[131], 1);
    EXPECT_EQ(readText(&b[132], 8), "login: ");
    // Offsets 0, 3, 9, 9, 9 and the responses back to back.
    EXPECT_EQ(b[164], 0);
    EXPECT_EQ(b[165], 3);
    EXPECT_EQ(b[166], 9);
    EXPECT_EQ(b[168], 9);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[169]), 9), "lablab-pw");
}

TEST(Appliance, DiscoveryStatusWriteAndSetIp) {
    Appliance a(profile(IspScript::Kind::Terminal), kFirst); // on line, state 5
    auto found = a.handle(decoded(request(1, 8)), kPc);
    ASSERT_EQ(found.size(), 1u);
    const Bytes& r = found[0].bytes;
    ASSERT_EQ(r.size(), 29u);
    EXPECT_EQ(r[6], 0x81);
    EXPECT_EQ(readText(&r[8], 12), "VARN-Lab");
    EXPECT_EQ(readAddress(&r[20]), kFirst);
    EXPECT_EQ(r[24], 5);
    EXPECT_EQ(readAddress(&r[25]), kPc);

    auto status = a.handle(decoded(request(36, 8)), kPc)[0].bytes;
    ASSERT_EQ(status.size(), 28u);
    EXPECT_EQ(status[20], 5);
    EXPECT_EQ(readAddress(&status[22]), 0xCB00712Du);
    EXPECT_EQ(readLe16(&status[26]), 28800);

    Bytes write = request(7, 520);
    for (std::size_t i = 8; i < 520; ++i)
        write[i] = std::uint8_t(i * 7);
    std::memcpy(&write[10], "Renamed\0\0\0\0\0", 12);
    EXPECT_EQ(a.handle(decoded(write), kPc)[0].bytes.size(), 8u);
    Bytes read = request(2, 20);
    Bytes name = nameField("Renamed", ' ');
    std::copy(name.begin(), name.end(), read.begin() + 8);
    auto block = a.handle(decoded(read), kPc)[0].bytes;
    EXPECT_TRUE(std::equal(block.begin() + 8, block.end(), write.begin() + 8));
    EXPECT_EQ(a.name(), "Renamed");

    Bytes setIp = request(13, 28);
    std::memcpy(&setIp[8], "Renamed", 7);
    writeAddress(&setIp[20], kFirst);
    writeAddress(&setIp[24], 0x7F000009);
    Request moved = decoded(setIp);
    EXPECT_TRUE(a.accepts(moved, true));
    EXPECT_EQ(a.handle(moved, kPc).size(), 1u);
    EXPECT_EQ(a.address(), 0x7F000009u);
    EXPECT_EQ(readAddress(&a.storedBlock()[18]), 0x7F000009u);
    EXPECT_FALSE(a.accepts(moved, true)); // it is no longer at the old address
}

TEST(Appliance, PppIspSelfTest) {
    Appliance a(profile(IspScript::Kind::Ppp), kFirst);
    Bytes dial = request(3, 24);
    std::memcpy(&dial[8], "5550100", 7);
    auto out = a.handle(decoded(dial), kPc);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0].bytes[6], 0x83);
    EXPECT_EQ(out[0].bytes[8], 0);
    const Bytes& data = out[1].bytes;
    EXPECT_EQ(data[6], 0x85);
    std::size_t length = readLe16(&data[8]);
    ASSERT_EQ(data.size(), 10 + length);
    // The utility looks for the frame start no later than length - 7.
    const std::uint8_t frame[] = {0x7E, 0xFF, 0x7D, 0x23};
    auto at = std::search(data.begin() + 10, data.end(), frame, frame + 4);
    ASSERT_NE(at, data.end());
    EXPECT_LE(std::size_t(at - data.begin() - 10), length - 7);

    Bytes login = request(4, 61);
    login[8] = 2;
    std::memcpy(&login[9], "office@isp", 10);
    std::memcpy(&login[41], "wrong", 5);
    EXPECT_EQ(a.handle(decoded(login), kPc)[0].bytes[8], 1); // account refused
    EXPECT_EQ(a.state(), 7);

    a.handle(decoded(dial), kPc);
    std::memcpy(&login[41], "s3cret", 6);
    EXPECT_EQ(a.handle(decoded(login), kPc)[0].bytes[8], 0);
    EXPECT_EQ(a.state(), 5);
    EXPECT_EQ(a.handle(decoded(request(9, 8)), kPc)[0].bytes[6], 0x89);
    EXPECT_EQ(a.state(), 0);
}

TEST(Appliance, AccountAndAcknowledgementsAsTheOptionsSay) {
    Appliance a(profile(IspScript::Kind::Ppp), kFirst);
    const Bytes account = request(15, 60);
    Bytes r = a.handle(decoded(account), kPc)[0].bytes;
    EXPECT_EQ(r.size(), 8u);
    EXPECT_EQ(r[6], 0x8F);
    a.accountReply = 0x87;
    a.headerOnlyAcks = true;
    r = a.handle(decoded(account), kPc)[0].bytes;
    EXPECT_EQ(r, Bytes({'Q', 'u', 'o', 'r', 'i', 'x', 0x87}));
    r = a.handle(decoded(request(9, 8)), kPc)[0].bytes;
    EXPECT_EQ(r, Bytes({'Q', 'u', 'o', 'r', 'i', 'x', 0x89}));
    // Replies with a payload keep their header.
    EXPECT_EQ(a.handle(decoded(request(36, 8)), kPc)[0].bytes.size(), 28u);
}

TEST(Appliance, TerminalIspAsksPromptsThenGoesPpp) {
    Appliance a(profile(IspScript::Kind::Terminal), kFirst);
    Bytes dial = request(3, 24);
    std::memcpy(&dial[8], "5550200", 7);
    auto out = a.handle(decoded(dial), kPc);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_NE(std::string(out[1].bytes.begin() + 10, out[1].bytes.end()).find("login: "),
              std::string::npos);

    auto respond = [&](const std::string& text) {
        Bytes r = request(5, 42);
        writeLe16(&r[8], std::uint16_t(text.size()));
        std::memcpy(&r[10], text.data(), text.size());
        auto replies = a.handle(decoded(r), kPc);
        return replies.empty() ? std::string()
                               : std::string(replies[0].bytes.begin() + 10, replies[0].bytes.end());
    };
    // The login name comes back as a terminal server echoes it, the password not.
    EXPECT_EQ(respond("nobody").rfind("nobody\r\nLogin incorrect\r\n", 0), 0u);
    EXPECT_EQ(respond("lab"), "lab\r\nPassword: ");
    std::string last = respond("lab-pw");
    EXPECT_EQ(last.rfind("\r\nEntering PPP mode.\r\n", 0), 0u);
    EXPECT_NE(last.find("\x7E\xFF\x7D\x23"), std::string::npos);
    EXPECT_EQ(a.state(), 4);
    EXPECT_EQ(respond("late"), ""); // the ISP has gone PPP

    Bytes login = request(4, 61);
    login[8] = 1;
    EXPECT_EQ(a.handle(decoded(login), kPc)[0].bytes[8], 0);
}

TEST(Appliance, DialFailureReportsItsCode) {
    Appliance a(profile(IspScript::Kind::DialFailure), kFirst);
    Bytes dial = request(3, 24);
    std::memcpy(&dial[8], "5550300", 7);
    auto out = a.handle(decoded(dial), kPc);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].bytes[8], 5);
    EXPECT_EQ(a.state(), 6);
}

TEST(Server, RoutesBroadcastsUnicastsAndFaults) {
    Scenario s = defaultScenario();
    ASSERT_TRUE(assignAddresses(s, kFirst, nullptr));
    auto make = [&](Faults f) {
        std::vector<Appliance> list;
        for (auto& a : s.appliances)
            list.emplace_back(a, *a.address);
        ServerOptions o;
        o.port = 7777;
        o.broadcastAddress = 0x7FFFFFFF;
        o.faults = std::move(f);
        return std::make_unique<Server>(std::move(list), o, nullptr);
    };
    auto server = make({});
    EXPECT_TRUE(server->isBroadcast(0x7FFFFFFF));
    EXPECT_TRUE(server->isBroadcast(0xFFFFFFFF));
    EXPECT_FALSE(server->isBroadcast(kFirst));

    Bytes discover = request(1, 8);
    auto all = server->receive(discover.data(), 8, kPc, 5000, 0xFFFFFFFF);
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].from, kFirst + 1);
    EXPECT_EQ(all[1].to, kPc);
    EXPECT_EQ(all[1].toPort, 5000);
    EXPECT_EQ(server->receive(discover.data(), 8, kPc, 5000, kFirst + 2).size(), 1u);
    EXPECT_TRUE(server->receive(discover.data(), 8, kPc, 5000, kFirst + 40).empty());

    Bytes read = request(2, 20);
    Bytes name = nameField("VARN-Lab", ' ');
    std::copy(name.begin(), name.end(), read.begin() + 8);
    auto block = server->receive(read.data(), 20, kPc, 5000, 0xFFFFFFFF);
    ASSERT_EQ(block.size(), 1u); // only the appliance named answers
    EXPECT_EQ(block[0].from, kFirst + 1);
    EXPECT_TRUE(server->receive(read.data(), 20, kPc, 5000, kFirst).empty()); // wrong owner

    Bytes setIp = request(13, 28); // onto an address already taken
    std::memcpy(&setIp[8], "VARN-Lab", 8);
    writeAddress(&setIp[20], kFirst + 1);
    writeAddress(&setIp[24], kFirst);
    EXPECT_TRUE(server->receive(setIp.data(), 28, kPc, 5000, 0xFFFFFFFF).empty());

    Faults faults;
    faults.duplicate = true;
    faults.replyBroadcast = true;
    faults.ignoreTypes = {33};
    faults.delayMs = 40;
    auto faulty = make(faults);
    auto twice = faulty->receive(discover.data(), 8, kPc, 5000, kFirst);
    ASSERT_EQ(twice.size(), 2u);
    EXPECT_EQ(twice[0].to, 0x7FFFFFFFu);
    EXPECT_EQ(twice[0].delayMs, 40);
    Bytes versions = request(33, 8);
    EXPECT_TRUE(faulty->receive(versions.data(), 8, kPc, 5000, kFirst).empty());
}

TEST(Scenario, ProblemsAreNamedWithTheirPlace) {
    std::string why;
    EXPECT_FALSE(parseScenario("{", &why));
    EXPECT_EQ(why, "not valid JSON");
    EXPECT_FALSE(parseScenario(R"({"appliances":[{"name":"ABCDEFGHIJKLM"}]})", &why));
    EXPECT_EQ(why, "appliances[0].name: longer than 12 characters");
    EXPECT_FALSE(parseScenario(R"({"appliances":[{"name":"A","colour":1}]})", &why));
    EXPECT_EQ(why, "appliances[0].colour: unknown key");
    EXPECT_FALSE(parseScenario(R"({"appliances":[{"name":"A","address":"10.0.0.300"}]})", &why));
    EXPECT_NE(why.find("appliances[0].address"), std::string::npos);
    EXPECT_FALSE(
        parseScenario(R"({"appliances":[{"name":"A","isp":{"kind":"dial_failure"}}]})", &why));
    EXPECT_NE(why.find("dial_result"), std::string::npos);

    auto ok = parseScenario(R"({"appliances":[{"name":"A","address":"10.77.0.3"},{"name":"B"},
        {"name":"C","isp":{"kind":"terminal","prompts":[{"prompt":"Username:","expect":"u"}]}}]})",
                            &why);
    ASSERT_TRUE(ok) << why;
    EXPECT_TRUE(assignAddresses(*ok, 0x0A4D0002, &why)) << why;
    // The others take the base and onwards, around the address given.
    EXPECT_EQ(*ok->appliances[1].address, 0x0A4D0002u);
    EXPECT_EQ(*ok->appliances[2].address, 0x0A4D0004u);
    ok->appliances[2].address = 0x0A4D0002;
    EXPECT_FALSE(assignAddresses(*ok, 0x0A4D0002, &why)); // two at 10.77.0.2
    EXPECT_NE(why.find("used twice"), std::string::npos);
}

namespace {

// A server over the default appliances at 127.0.0.2.., logging into memory.
struct LoggedServer {
    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* log = open_memstream(&text, &size);
    std::unique_ptr<Server> server;

    LoggedServer() {
        Scenario s = defaultScenario();
        EXPECT_TRUE(assignAddresses(s, kFirst, nullptr));
        std::vector<Appliance> list;
        for (auto& a : s.appliances)
            list.emplace_back(a, *a.address);
        ServerOptions o;
        o.broadcastAddress = 0x7FFFFFFF;
        server = std::make_unique<Server>(std::move(list), o, log);
    }
    ~LoggedServer() {
        server.reset();
        std::fclose(log);
        std::free(text);
    }
    std::vector<Server::Sent> send(const Bytes& b, std::uint32_t destination) {
        return server->receive(b.data(), b.size(), kPc, 5000, destination);
    }
    std::string logText() {
        std::fflush(log);
        return std::string(text, size);
    }
    const Appliance& lab() const { return server->appliances()[1]; } // on line, state 5
};

} // namespace

TEST(Server, WriteResetAndHangUpSentToTheBroadcastAddressAreNotObeyed) {
    LoggedServer lan;
    Bytes write = request(7, 520);
    std::memcpy(&write[10], "Hijacked", 8);
    for (std::uint32_t everyone : {0xFFFFFFFFu, 0x7FFFFFFFu}) {
        for (const Bytes& b : {write, request(8, 8), request(9, 8)})
            EXPECT_TRUE(lan.send(b, everyone).empty()) << int(b[6]);
    }
    EXPECT_EQ(lan.lab().state(), 5);
    EXPECT_EQ(lan.lab().name(), "VARN-Lab");
    const std::string log = lan.logText();
    EXPECT_NE(log.find("ERROR: routing: a hang up request must be sent to one appliance, not "
                       "broadcast; not obeyed"),
              std::string::npos)
        << log;

    // Addressed to the appliance, the same requests are obeyed.
    EXPECT_EQ(lan.send(request(9, 8), kFirst + 1).size(), 1u);
    EXPECT_EQ(lan.lab().state(), 0);
    EXPECT_EQ(lan.send(write, kFirst + 1).size(), 1u);
    EXPECT_EQ(lan.lab().name(), "Hijacked");
}

TEST(Server, BytesFromTheNetworkReachTheLogEscaped) {
    LoggedServer lan;
    // An appliance renamed with an escape sequence and a line break, which its
    // later log lines name; a malformed datagram; terminal text and a name in
    // requests.
    Bytes write = request(7, 520);
    std::memcpy(&write[10], "\x1b[2J\nfake\r", 10);
    lan.send(write, kFirst);
    lan.send(request(5, 42), kFirst); // not answered in its state: a note names it
    Bytes response = request(5, 42);
    response[8] = 6;
    std::memcpy(&response[10], "a\x1b]0;\x07", 6);
    lan.send(response, kFirst + 1);
    Bytes junk = {'Q', 'u', 'o', 'r', 'i', 'x', 2, 0, 0x1b, '\n', 0xff};
    lan.send(junk, kFirst);
    Bytes read = request(2, 20);
    const Bytes name = {0x1b, '[', '3', '1', 'm', '\n', '\t', 0x9b, ' ', ' ', ' ', ' '};
    std::copy(name.begin(), name.end(), read.begin() + 8);
    lan.send(read, 0xFFFFFFFF);

    const std::string log = lan.logText();
    std::size_t lines = 0;
    for (unsigned char c : log) {
        lines += c == '\n';
        EXPECT_TRUE(c == '\n' || (c >= 32 && c < 127)) << "raw byte " << int(c) << " in\n" << log;
    }
    EXPECT_EQ(lines, 7u) << log; // five datagrams and two notes, one line each
    EXPECT_NE(log.find("\\x1B[2J\\nfake\\r"), std::string::npos) << log;
}
