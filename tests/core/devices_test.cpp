// The rules behind the Device List's dialogs: the login check and its cache, the
// same-network test, and the address fields of the IP dialog.

#include "core/fakes.h"
#include "devices/login_check.h"
#include "devices/octet_field.h"
#include "devices/password_cache.h"
#include "devices/same_network.h"
#include "protocol/device_config.h"

#include <gtest/gtest.h>

namespace {

using namespace varn;
using namespace varn::fakes;

DeviceConfig device(const std::string& name, const std::string& password) {
    DeviceConfig config;
    config.setDeviceName(name);
    config.setDevicePassword(password);
    return config;
}

// A prompt that answers with typed text (or cancels) and counts its calls.
struct ScriptedPrompt {
    int asked = 0;
    bool ok = true;
    std::string typed;
    PasswordPrompt prompt() {
        return [this](std::string& entered) {
            ++asked;
            if (ok)
                entered = typed;
            return ok;
        };
    }
};

class LoginCheck : public ::testing::Test {
  protected:
    int check(const std::string& name, const std::string& password) {
        return loginCheck(device(name, password), cache, prompt.prompt(), ui);
    }
    PasswordCache cache;
    ScriptedPrompt prompt;
    RecordingUi ui;
};

TEST_F(LoginCheck, EmptyPasswordIsGrantedWithoutAskingOrCaching) {
    EXPECT_EQ(check("OPEN", ""), 0);
    EXPECT_EQ(check("OPEN", ""), 0);
    EXPECT_EQ(prompt.asked, 0);
    EXPECT_EQ(cache.size(), 0);
}

TEST_F(LoginCheck, PasswordMustMatchInLengthAndCase) {
    for (const auto& [typed, granted] : std::vector<std::pair<std::string, bool>>{
             {"a", false}, {"abc", false}, {"AB", false}, {"", false}, {"ab", true}}) {
        ui.events.clear();
        prompt.typed = typed;
        EXPECT_EQ(check("AP", "ab"), granted ? 0 : -1) << typed;
        EXPECT_EQ(cache.granted("AP"), granted) << typed;
        EXPECT_EQ(ui.events, granted ? std::vector<std::string>{}
                                     : std::vector<std::string>{"message W: Incorrect Password !"});
    }
    // A four-character password is compared whole although it has no terminator.
    prompt.typed = "wxyz";
    EXPECT_EQ(check("FULL", "wxyz"), 0);
}

TEST_F(LoginCheck, ACancelIsSilentAndRefuses) {
    prompt.ok = false;
    EXPECT_EQ(check("OTHER", "1234"), -1);
    EXPECT_TRUE(ui.events.empty());
    EXPECT_FALSE(cache.granted("OTHER"));
}

// Keyed by name alone: a second appliance of the same name is let in, another
// name is asked; emptying the cache asks again.
TEST_F(LoginCheck, CacheIsKeyedByNameUntilEmptied) {
    prompt.typed = "pw";
    EXPECT_EQ(check("TWIN", "pw"), 0);
    EXPECT_EQ(check("TWIN", "zz"), 0);
    EXPECT_EQ(prompt.asked, 1);
    EXPECT_EQ(check("TWIN2", "pw"), 0);
    EXPECT_EQ(prompt.asked, 2);
    // A 12-character name is compared whole, not as a prefix of a longer one.
    EXPECT_EQ(check("ABCDEFGHIJKL", "pw"), 0);
    EXPECT_FALSE(cache.granted("ABCDEFGHIJK"));
    EXPECT_TRUE(cache.granted("ABCDEFGHIJKL"));
    cache.clear();
    EXPECT_EQ(cache.size(), 0);
    EXPECT_EQ(check("TWIN", "pw"), 0);
    EXPECT_EQ(prompt.asked, 4);
    EXPECT_EQ(cache.size(), 1);
}

TEST_F(LoginCheck, AFiftyFirstLoginIsGrantedButNotRemembered) {
    for (int i = 0; i < PasswordCache::kRows; ++i)
        ASSERT_TRUE(cache.add("D" + std::to_string(i)));
    EXPECT_FALSE(cache.add("ONE-TOO-MANY"));
    EXPECT_EQ(cache.size(), PasswordCache::kRows);
    EXPECT_TRUE(cache.granted("D0"));
    EXPECT_TRUE(cache.granted("D49"));
    prompt.typed = "pw";
    EXPECT_EQ(check("ONE-TOO-MANY", "pw"), 0);
    EXPECT_EQ(check("ONE-TOO-MANY", "pw"), 0);
    EXPECT_EQ(prompt.asked, 2);
}

TEST(SameNetwork, UsesTheClassOfEachAddress) {
    struct Case {
        std::uint32_t a, b;
        bool same;
    };
    const Case cases[] = {
        {makeAddress(10, 1, 2, 3), makeAddress(10, 200, 0, 1), true},
        {makeAddress(10, 1, 2, 3), makeAddress(11, 1, 2, 3), false},
        {makeAddress(172, 16, 1, 1), makeAddress(172, 16, 9, 9), true},
        {makeAddress(172, 16, 1, 1), makeAddress(172, 17, 1, 1), false},
        {makeAddress(192, 168, 1, 5), makeAddress(192, 168, 1, 250), true},
        {makeAddress(192, 168, 1, 5), makeAddress(192, 168, 2, 5), false},
        {makeAddress(224, 0, 0, 1), makeAddress(224, 0, 0, 2), false},
        {makeAddress(230, 1, 1, 1), makeAddress(230, 1, 1, 1), true},
        // The edges of the classes.
        {makeAddress(127, 1, 0, 1), makeAddress(127, 2, 0, 1), true},
        {makeAddress(128, 1, 0, 1), makeAddress(128, 2, 0, 1), false},
        {makeAddress(191, 1, 2, 3), makeAddress(191, 1, 9, 9), true},
        {makeAddress(192, 1, 2, 3), makeAddress(192, 1, 9, 3), false},
        {makeAddress(223, 1, 1, 1), makeAddress(223, 1, 1, 2), true},
        // Each address is masked by its own class.
        {makeAddress(10, 0, 0, 1), makeAddress(192, 168, 1, 1), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(sameNetwork(c.a, c.b), c.same) << dottedText(c.a) << " " << dottedText(c.b);
        EXPECT_EQ(sameNetwork(c.b, c.a), c.same);
    }
}

TEST(SameNetwork, AddressesNoApplianceCanHave) {
    // The network and broadcast addresses follow the address's own class.
    const std::pair<std::uint32_t, const char*> refused[] = {
        {makeAddress(0, 0, 0, 0), "0.0.0.0/8"},
        {makeAddress(0, 1, 2, 3), "0.0.0.0/8"},
        {makeAddress(224, 0, 0, 1), "multicast"},
        {makeAddress(239, 255, 255, 250), "multicast"},
        {makeAddress(240, 0, 0, 1), "class E"},
        {makeAddress(255, 255, 255, 255), "class E"},
        {makeAddress(127, 0, 0, 9), "loopback"},
        {makeAddress(10, 0, 0, 0), "address of its network"},
        {makeAddress(10, 255, 255, 255), "broadcast"},
        {makeAddress(172, 16, 0, 0), "address of its network"},
        {makeAddress(172, 16, 255, 255), "broadcast"},
        {makeAddress(192, 168, 1, 0), "address of its network"},
        {makeAddress(192, 168, 1, 255), "broadcast"},
    };
    for (const auto& [address, why] : refused) {
        const auto fault = unusableHostAddress(address, false);
        ASSERT_TRUE(fault) << dottedText(address);
        EXPECT_NE(fault->find(why), std::string::npos) << *fault;
    }
    for (const std::uint32_t fine :
         {makeAddress(10, 0, 0, 255), makeAddress(10, 1, 0, 0), makeAddress(172, 16, 1, 0),
          makeAddress(192, 168, 1, 254), makeAddress(223, 255, 255, 1), makeAddress(1, 0, 0, 1)})
        EXPECT_FALSE(unusableHostAddress(fine, false)) << dottedText(fine);
    // Loopback only where the appliances are simulated there; its class's
    // network and broadcast addresses never.
    EXPECT_FALSE(unusableHostAddress(makeAddress(127, 0, 0, 9), true));
    EXPECT_TRUE(unusableHostAddress(makeAddress(127, 0, 0, 0), true));
    EXPECT_TRUE(unusableHostAddress(makeAddress(127, 255, 255, 255), true));
}

TEST(OctetField, TypingMovesOnAfterThreeCharactersOrADot) {
    auto scan = [](const char* text) { return scanOctetTyping(text); };
    EXPECT_FALSE(scan("19").moveOn);
    EXPECT_TRUE(scan("192").moveOn);
    EXPECT_FALSE(scan("192").cut);
    EXPECT_TRUE(scan("1921").moveOn); // only the first three count

    const OctetTyping dot = scan("16.");
    EXPECT_TRUE(dot.moveOn);
    EXPECT_TRUE(dot.cut);
    EXPECT_EQ(dot.keep, 2);
    EXPECT_FALSE(dot.loneDot);
    EXPECT_TRUE(scan(".").loneDot);

    const OctetTyping letter = scan("1x2");
    EXPECT_TRUE(letter.invalid);
    EXPECT_EQ(letter.keep, 1);
    EXPECT_FALSE(letter.moveOn);
    EXPECT_FALSE(scan("").moveOn);
}

TEST(OctetField, SavedOctetsAreWholeNumbersUpTo255) {
    EXPECT_EQ(wholeOctet("0"), 0);
    EXPECT_EQ(wholeOctet("255"), 255);
    EXPECT_EQ(wholeOctet(" 7 "), 7);
    EXPECT_EQ(wholeOctet("007"), 7);
    for (const char* bad : {"", "  ", "256", "-1", "1x", "1.2", "0255"})
        EXPECT_FALSE(wholeOctet(bad).has_value()) << bad;
}

} // namespace
