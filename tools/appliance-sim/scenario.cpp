#include "scenario.h"
#include "codec.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <set>
#include <sstream>

namespace sim {

Scenario defaultScenario() {
    Scenario s;

    ApplianceProfile office;
    office.name = "VARN-Office";
    office.password = "1234";
    office.phoneNumber = "5550100";
    office.loginMode = 2;
    office.pppUser = "office@isp";
    office.pppPassword = "s3cret";
    office.alternativeNumber1 = "5550101";
    office.fillerSeed = 1;
    office.isp.kind = IspScript::Kind::Ppp;
    office.isp.user = "office@isp";
    office.isp.password = "s3cret";
    office.wanAddress = 0xC6336407; // 198.51.100.7, handed out on the next connection
    office.lineSpeed = 33600;
    s.appliances.push_back(office);

    ApplianceProfile lab;
    lab.name = "VARN-Lab";
    lab.password = "";
    lab.state = 5;
    lab.phoneNumber = "5550200";
    lab.loginMode = 1;
    lab.script = {{"login: ", "lab"}, {"ssword: ", "lab-pw"}};
    lab.idleMinutes = 30;
    lab.dialOptions = 0x93;
    lab.useAlternativeNumbers = true;
    lab.alternativeTries = 2;
    lab.alternativeNumber1 = "5550201";
    lab.alternativeNumber2 = "5550202";
    lab.fillerSeed = 2;
    lab.firmwareVersion = "V2.40 1999.08.30";
    lab.isp.kind = IspScript::Kind::Terminal;
    lab.isp.prompts = {{"Welcome to the dial-in service\r\nlogin: ", "lab", true},
                       {"Password: ", "lab-pw"}};
    lab.wanAddress = 0xCB00712D; // 203.0.113.45
    lab.lineSpeed = 28800;
    s.appliances.push_back(lab);

    ApplianceProfile store;
    store.name = "VARN-Store";
    store.password = "abcd";
    store.state = 6;
    store.result = 5; // line busy
    store.phoneNumber = "5550300";
    store.loginMode = 2;
    store.pppUser = "store";
    store.pppPassword = "store-pw";
    store.fillerSeed = 3;
    store.isp.kind = IspScript::Kind::DialFailure;
    store.isp.dialResult = 5;
    s.appliances.push_back(store);
    return s;
}

namespace {

using nlohmann::json;

// Collects the first problem found, with the path of the value it concerns.
class Reader {
  public:
    std::string error;

    bool fail(const std::string& path, const std::string& what) {
        if (error.empty())
            error = path + ": " + what;
        return false;
    }

    bool keys(const json& object, const std::string& path, const std::set<std::string>& allowed) {
        if (!object.is_object())
            return fail(path, "must be an object");
        for (auto it = object.begin(); it != object.end(); ++it)
            if (!allowed.count(it.key()))
                return fail(path + "." + it.key(), "unknown key");
        return true;
    }

    bool text(const json& object, const std::string& path, const char* key, std::size_t maxLength,
              std::string& out) {
        if (!object.contains(key))
            return true;
        const json& v = object[key];
        std::string where = path + "." + key;
        if (!v.is_string())
            return fail(where, "must be a string");
        std::string s = v.get<std::string>();
        if (s.size() > maxLength)
            return fail(where, "longer than " + std::to_string(maxLength) + " characters");
        if (s.find('\0') != std::string::npos)
            return fail(where, "must not contain a NUL character");
        out = s;
        return true;
    }

    template <typename T>
    bool number(const json& object, const std::string& path, const char* key, long long low,
                long long high, T& out) {
        if (!object.contains(key))
            return true;
        const json& v = object[key];
        std::string where = path + "." + key;
        if (!v.is_number_integer())
            return fail(where, "must be a whole number");
        long long n = v.get<long long>();
        if (n < low || n > high)
            return fail(where,
                        "must be between " + std::to_string(low) + " and " + std::to_string(high));
        out = T(n);
        return true;
    }

    bool address(const json& object, const std::string& path, const char* key, std::uint32_t& out) {
        if (!object.contains(key))
            return true;
        const json& v = object[key];
        std::string where = path + "." + key;
        if (!v.is_string())
            return fail(where, "must be a dotted IPv4 address string");
        auto a = parseDotted(v.get<std::string>());
        if (!a)
            return fail(where, "\"" + v.get<std::string>() + "\" is not a dotted IPv4 address");
        out = *a;
        return true;
    }

    bool isp(const json& v, const std::string& path, IspScript& out) {
        if (!keys(v, path, {"kind", "dial_result", "ppp_result", "user", "password", "prompts"}))
            return false;
        if (!v.contains("kind") || !v["kind"].is_string())
            return fail(path + ".kind", "must be \"ppp\", \"terminal\" or \"dial_failure\"");
        std::string kind = v["kind"].get<std::string>();
        if (kind == "ppp")
            out.kind = IspScript::Kind::Ppp;
        else if (kind == "terminal")
            out.kind = IspScript::Kind::Terminal;
        else if (kind == "dial_failure")
            out.kind = IspScript::Kind::DialFailure;
        else
            return fail(path + ".kind", "must be \"ppp\", \"terminal\" or \"dial_failure\"");
        if (!number(v, path, "dial_result", 1, 10, out.dialResult) ||
            !number(v, path, "ppp_result", 0, 7, out.pppResult) ||
            !text(v, path, "user", 32, out.user) || !text(v, path, "password", 20, out.password))
            return false;
        if (out.kind == IspScript::Kind::DialFailure && !v.contains("dial_result"))
            return fail(path + ".dial_result", "a dial_failure ISP needs its failure code (1..10)");
        if (v.contains("prompts")) {
            const json& list = v["prompts"];
            if (!list.is_array())
                return fail(path + ".prompts", "must be a list");
            for (std::size_t i = 0; i < list.size(); ++i) {
                std::string where = path + ".prompts[" + std::to_string(i) + "]";
                IspScript::Prompt p;
                if (!keys(list[i], where, {"prompt", "expect", "echo"}) ||
                    !text(list[i], where, "prompt", 512, p.prompt) ||
                    !text(list[i], where, "expect", 32, p.expect))
                    return false;
                if (list[i].contains("echo")) {
                    if (!list[i]["echo"].is_boolean())
                        return fail(where + ".echo", "must be true or false");
                    p.echo = list[i]["echo"].get<bool>();
                }
                if (p.prompt.empty())
                    return fail(where + ".prompt", "must not be empty");
                out.prompts.push_back(p);
            }
        }
        if (out.kind == IspScript::Kind::Terminal && out.prompts.empty())
            return fail(path + ".prompts", "a terminal ISP needs at least one prompt");
        return true;
    }

    bool appliance(const json& v, const std::string& path, ApplianceProfile& a) {
        if (!keys(v, path,
                  {"name",
                   "address",
                   "state",
                   "result",
                   "password",
                   "idle_minutes",
                   "dial_options",
                   "phone_number",
                   "login_mode",
                   "ppp_user",
                   "ppp_password",
                   "script",
                   "use_alternative_numbers",
                   "alternative_tries",
                   "alternative_number_1",
                   "alternative_number_2",
                   "filler_seed",
                   "firmware",
                   "modem_firmware",
                   "wan_address",
                   "line_speed",
                   "isp"}))
            return false;
        if (!v.contains("name"))
            return fail(path + ".name", "missing; every appliance needs a name");
        if (!text(v, path, "name", 12, a.name))
            return false;
        if (a.name.empty())
            return fail(path + ".name", "must not be empty");
        if (v.contains("address")) {
            std::uint32_t address = 0;
            if (!this->address(v, path, "address", address))
                return false;
            a.address = address;
        }
        if (!number(v, path, "state", 0, 8, a.state) ||
            !number(v, path, "result", 0, 255, a.result) ||
            !text(v, path, "password", 4, a.password) ||
            !number(v, path, "idle_minutes", 0, 127, a.idleMinutes) ||
            !number(v, path, "dial_options", 0, 255, a.dialOptions) ||
            !text(v, path, "phone_number", 16, a.phoneNumber) ||
            !number(v, path, "login_mode", 0, 255, a.loginMode) ||
            !text(v, path, "ppp_user", 32, a.pppUser) ||
            !text(v, path, "ppp_password", 48, a.pppPassword) ||
            !number(v, path, "alternative_tries", 0, 100, a.alternativeTries) ||
            !text(v, path, "alternative_number_1", 15, a.alternativeNumber1) ||
            !text(v, path, "alternative_number_2", 15, a.alternativeNumber2) ||
            !number(v, path, "filler_seed", 0, 0xFFFFFFFFll, a.fillerSeed) ||
            !text(v, path, "firmware", 16, a.firmwareVersion) ||
            !text(v, path, "modem_firmware", 16, a.modemVersion) ||
            !address(v, path, "wan_address", a.wanAddress) ||
            !number(v, path, "line_speed", 0, 65535, a.lineSpeed))
            return false;
        if (v.contains("use_alternative_numbers")) {
            if (!v["use_alternative_numbers"].is_boolean())
                return fail(path + ".use_alternative_numbers", "must be true or false");
            a.useAlternativeNumbers = v["use_alternative_numbers"].get<bool>();
        }
        if (v.contains("script")) {
            const json& list = v["script"];
            std::string where = path + ".script";
            if (!list.is_array())
                return fail(where, "must be a list");
            if (list.size() > 4)
                return fail(where, "holds at most 4 prompt/response pairs");
            std::size_t total = 0;
            for (std::size_t i = 0; i < list.size(); ++i) {
                std::string at = where + "[" + std::to_string(i) + "]";
                ApplianceProfile::ScriptPair pair;
                if (!keys(list[i], at, {"prompt", "response"}) ||
                    !text(list[i], at, "prompt", 8, pair.prompt) ||
                    !text(list[i], at, "response", 48, pair.response))
                    return false;
                total += pair.response.size();
                a.script.push_back(pair);
            }
            if (total > 48)
                return fail(where, "the responses together exceed 48 characters");
        }
        if (v.contains("isp") && !isp(v["isp"], path + ".isp", a.isp))
            return false;
        return true;
    }
};

} // namespace

std::optional<Scenario> parseScenario(const std::string& text, std::string* error) {
    json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded()) {
        if (error)
            *error = "not valid JSON";
        return std::nullopt;
    }
    Reader r;
    Scenario s;
    if (r.keys(doc, "scenario", {"appliances"})) {
        if (!doc.contains("appliances") || !doc["appliances"].is_array())
            r.fail("scenario.appliances", "missing or not a list");
        else if (doc["appliances"].empty())
            r.fail("scenario.appliances", "the list is empty");
        else if (doc["appliances"].size() > 200)
            r.fail("scenario.appliances", "more than 200 appliances");
        else
            for (std::size_t i = 0; i < doc["appliances"].size(); ++i) {
                ApplianceProfile a;
                if (!r.appliance(doc["appliances"][i], "appliances[" + std::to_string(i) + "]", a))
                    break;
                s.appliances.push_back(a);
            }
    }
    if (!r.error.empty()) {
        if (error)
            *error = r.error;
        return std::nullopt;
    }
    return s;
}

std::optional<Scenario> loadScenario(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot read " + path;
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    std::string why;
    auto s = parseScenario(content.str(), &why);
    if (!s && error)
        *error = path + ": " + why;
    return s;
}

bool assignAddresses(Scenario& scenario, std::uint32_t base, std::string* error) {
    std::set<std::uint32_t> taken;
    for (const ApplianceProfile& a : scenario.appliances)
        if (a.address)
            taken.insert(*a.address);
    std::uint32_t next = base;
    std::set<std::uint32_t> seen;
    for (std::size_t i = 0; i < scenario.appliances.size(); ++i) {
        ApplianceProfile& a = scenario.appliances[i];
        if (!a.address) {
            while (taken.count(next))
                ++next;
            a.address = next++;
        }
        std::uint32_t addr = *a.address;
        std::string at = "appliances[" + std::to_string(i) + "] (" + a.name + ")";
        if (addr == 0 || addr == 0xFFFFFFFFu || (addr & 0xFF) == 0 || (addr & 0xFF) == 255 ||
            (addr >> 28) >= 14) {
            if (error)
                *error = at + ": " + dotted(addr) + " cannot be an appliance's address";
            return false;
        }
        if (!seen.insert(addr).second) {
            if (error)
                *error = at + ": address " + dotted(addr) + " is used twice";
            return false;
        }
    }
    return true;
}

} // namespace sim
