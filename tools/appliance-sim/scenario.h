#pragma once
// What the simulated LAN looks like: the appliances, their stored settings and
// the ISP that answers behind each. Read from a JSON file or the built-in
// default of three appliances.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

// What the ISP does when the appliance dials it during a self-test.
struct IspScript {
    enum class Kind { Ppp, Terminal, DialFailure };
    struct Prompt {
        std::string prompt; // text the ISP sends
        std::string expect; // the response it wants
        bool echo = false;  // it sends the response back, as a login name is
    };
    Kind kind = Kind::Ppp;
    std::uint8_t dialResult = 0; // DialFailure: the dial failure code (1..10)
    std::uint8_t pppResult = 0;  // result of the PPP login that follows (0 = success)
    std::string user;            // Ppp: when not empty, the account the ISP accepts
    std::string password;
    std::vector<Prompt> prompts; // Terminal: asked in order, then PPP framing
};

struct ApplianceProfile {
    std::string name;
    std::optional<std::uint32_t> address; // host order; from --base-address when absent
    std::uint8_t state = 0;
    std::uint8_t result = 0;
    std::string password; // administrator password, at most 4 characters

    // The interpreted fields of the configuration block.
    std::uint8_t idleMinutes = 10;
    std::uint8_t dialOptions = 0x83;
    std::string phoneNumber;
    std::uint8_t loginMode = 2;
    std::string pppUser;
    std::string pppPassword;
    struct ScriptPair {
        std::string prompt;
        std::string response;
    };
    std::vector<ScriptPair> script; // loginMode 1: up to 4 pairs, 48 response bytes
    bool useAlternativeNumbers = false;
    std::uint8_t alternativeTries = 3;
    std::string alternativeNumber1;
    std::string alternativeNumber2;
    std::uint32_t fillerSeed = 0; // varies the bytes the utility does not interpret

    std::string firmwareVersion = "V2.31 1999.04.12";
    std::string modemVersion = "MDM 33.6K V1.07";
    std::uint32_t wanAddress = 0; // host order
    std::uint16_t lineSpeed = 0;
    IspScript isp;
};

struct Scenario {
    std::vector<ApplianceProfile> appliances;
};

// Three appliances: one idle with a PPP ISP, one on line with a terminal-login
// ISP, one whose last dial failed and whose line stays busy.
Scenario defaultScenario();

// Parses a scenario; on failure returns nothing and names the problem
// (with the JSON path of the offending value).
std::optional<Scenario> parseScenario(const std::string& json, std::string* error);
std::optional<Scenario> loadScenario(const std::string& path, std::string* error);

// Gives appliances without an address base, base + 1, ... (skipping addresses
// the scenario gives to others), and
// refuses duplicates and addresses that cannot be an appliance's.
bool assignAddresses(Scenario& scenario, std::uint32_t base, std::string* error);

} // namespace sim
