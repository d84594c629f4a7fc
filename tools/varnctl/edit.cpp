#include "edit.h"

#include "backup.h"
#include "cli.h"
#include "config/config_buttons.h"
#include "config/field_rules.h"
#include "config/login_script.h"
#include "devices/same_network.h"
#include "protocol/wire.h"
#include "text.h"
#include "texts.h"

#include <algorithm>
#include <map>

namespace varnctl {

namespace {

using varn::DeviceConfig;

enum class Kind { Text, Address, Number, Flag, Mode };

struct Settable {
    std::string name;
    Kind kind;
    std::size_t maxChars = 0; // texts
};

const std::vector<Settable>& settables() {
    static const std::vector<Settable> list = [] {
        std::vector<Settable> s = {
            {"deviceName", Kind::Text, DeviceConfig::kDeviceNameSize},
            {"devicePassword", Kind::Text, DeviceConfig::kDevicePasswordSize},
            {"lanIpAddress", Kind::Address},
            {"idleMinutes", Kind::Number},
            {"blindDial", Kind::Flag},
            {"phoneNumber", Kind::Text, DeviceConfig::kPhoneNumberSize},
            {"loginMode", Kind::Mode},
            {"pppUserName", Kind::Text, DeviceConfig::kPppUserNameSize},
            {"pppPassword", Kind::Text, DeviceConfig::kPppPasswordMaxText},
        };
        for (int pair = 1; pair <= int(DeviceConfig::kScriptPairs); ++pair) {
            s.push_back(
                {"scriptPrompt" + std::to_string(pair), Kind::Text, varn::kScriptPromptMaxText});
            s.push_back({"scriptResponse" + std::to_string(pair), Kind::Text,
                         varn::kScriptResponseMaxText});
        }
        s.push_back({"useAlternativeNumbers", Kind::Flag});
        s.push_back({"alternativeTries", Kind::Number});
        s.push_back({"alternativeNumber1", Kind::Text, varn::kAlternativeNumberMaxText});
        s.push_back({"alternativeNumber2", Kind::Text, varn::kAlternativeNumberMaxText});
        return s;
    }();
    return list;
}

const Settable* settableOf(const std::string& name) {
    for (const Settable& s : settables())
        if (s.name == name)
            return &s;
    return nullptr;
}

// The Advanced settings dialog's fields, as it loads them from the block.
varn::AdvanceFields advanceFieldsOf(const DeviceConfig& b) {
    return {
        std::to_string(b.idleMinutes()),      b.alternativeNumber(1), b.alternativeNumber(2),
        std::to_string(b.alternativeTries()), b.blindDial(),          b.useAlternativeNumbers()};
}

const char* advanceFieldName(varn::AdvanceCheck::Field field) {
    switch (field) {
    case varn::AdvanceCheck::IdleMinutes:
        return "idleMinutes";
    case varn::AdvanceCheck::Alternative1:
        return "alternativeNumber1";
    case varn::AdvanceCheck::Alternative2:
        return "alternativeNumber2";
    case varn::AdvanceCheck::Tries:
        return "alternativeTries";
    case varn::AdvanceCheck::None:
        break;
    }
    return "";
}

// Values as the block takes them: texts in the appliance's 8-bit characters,
// flags "1" or "0", login modes "1" or "2", addresses dotted.
using Values = std::map<std::string, std::string>;

std::optional<std::string> flagValue(const std::string& text) {
    if (text == "true" || text == "1" || text == "on" || text == "yes")
        return "1";
    if (text == "false" || text == "0" || text == "off" || text == "no")
        return "0";
    return std::nullopt;
}

// One value by itself; the reason it is refused, or nothing.
std::optional<std::string> convert(const Settable& field, const std::string& value,
                                   bool loopbackAllowed, std::string& out) {
    const std::string& name = field.name;
    switch (field.kind) {
    case Kind::Text: {
        const auto text = utf8ToLatin1(value);
        if (!text)
            return name + ": \"" + value +
                   "\" holds characters the appliance cannot store (only Latin-1)";
        if (text->size() > field.maxChars)
            return name + " holds at most " + std::to_string(field.maxChars) + " characters, not " +
                   std::to_string(text->size());
        if (name == "deviceName" &&
            !varn::fieldChanged({}, {varn::ConfigField::Name, text->empty()}).buttons.save)
            return "deviceName cannot be empty: the Configuration dialog saves no block without "
                   "a name";
        out = *text;
        return std::nullopt;
    }
    case Kind::Address: {
        const auto address = parseAddress(value);
        if (!address)
            return std::string(varn::texts::kInvalidAddress) + " lanIpAddress: \"" + value +
                   "\" is not four numbers 0..255 separated by dots";
        if (auto why = varn::unusableHostAddress(*address, loopbackAllowed))
            return "lanIpAddress: " + *why;
        out = varn::dottedText(*address);
        return std::nullopt;
    }
    case Kind::Number: {
        // The Advanced dialog's check, the other fields left valid.
        varn::AdvanceFields fields{"0", "", "", "0", false, false};
        (name == "idleMinutes" ? fields.idleMinutes : fields.tries) = value;
        const varn::AdvanceCheck check = varn::checkAdvanceFields(fields);
        if (check.failed != varn::AdvanceCheck::None)
            return name + ": \"" + value + "\": " + check.message;
        out = value;
        return std::nullopt;
    }
    case Kind::Flag: {
        const auto flag = flagValue(value);
        if (!flag)
            return name + ": \"" + value + "\" is not true or false";
        out = *flag;
        return std::nullopt;
    }
    case Kind::Mode:
        if (value == "1" || value == "terminal")
            out = "1";
        else if (value == "2" || value == "ppp")
            out = "2";
        else
            return "loginMode: \"" + value + "\" is neither terminal (1) nor ppp (2)";
        return std::nullopt;
    }
    return std::nullopt;
}

std::vector<std::string> convertAll(const std::vector<Assignment>& assignments,
                                    bool loopbackAllowed, Values& values) {
    std::vector<std::string> errors;
    std::vector<std::string> seen;
    for (const Assignment& a : assignments) {
        const Settable* settable = settableOf(a.field);
        if (settable == nullptr) {
            errors.push_back(
                a.field == "dialOptions"
                    ? std::string("dialOptions is not set whole: its blind-dial bit is blindDial")
                    : "\"" + a.field + "\" is not a field config set changes");
            continue;
        }
        if (std::find(seen.begin(), seen.end(), a.field) != seen.end()) {
            errors.push_back(a.field + " is given twice");
            continue;
        }
        seen.push_back(a.field);
        std::string converted;
        if (auto why = convert(*settable, a.value, loopbackAllowed, converted))
            errors.push_back(*why);
        else
            values[a.field] = converted;
    }
    return errors;
}

bool anyOf(const Values& values, std::initializer_list<const char*> names) {
    return std::any_of(names.begin(), names.end(),
                       [&](const char* n) { return values.count(n) != 0; });
}

bool anyScriptField(const Values& values) {
    return std::any_of(values.begin(), values.end(), [](const auto& v) {
        return v.first.rfind("scriptPrompt", 0) == 0 || v.first.rfind("scriptResponse", 0) == 0;
    });
}

// As the Advanced settings dialog's OK stores them.
bool applyAdvance(DeviceConfig& b, const Values& v, std::vector<std::string>& errors) {
    if (!anyOf(v, {"idleMinutes", "blindDial", "useAlternativeNumbers", "alternativeTries",
                   "alternativeNumber1", "alternativeNumber2"}))
        return true;
    varn::AdvanceFields fields = advanceFieldsOf(b);
    auto take = [&](const char* name, std::string& field) {
        if (auto it = v.find(name); it != v.end())
            field = it->second;
    };
    auto takeFlag = [&](const char* name, bool& field) {
        if (auto it = v.find(name); it != v.end())
            field = it->second == "1";
    };
    take("idleMinutes", fields.idleMinutes);
    take("alternativeTries", fields.tries);
    take("alternativeNumber1", fields.alternative1);
    take("alternativeNumber2", fields.alternative2);
    takeFlag("blindDial", fields.blindDial);
    takeFlag("useAlternativeNumbers", fields.useAlternativeNumbers);
    const varn::AdvanceCheck check = varn::checkAdvanceFields(fields);
    if (check.failed != varn::AdvanceCheck::None) {
        // A value the appliance holds already, which the dialog would refuse too.
        const std::string field = advanceFieldName(check.failed);
        errors.push_back(field + " as the appliance holds it: " + check.message + " Give " + field +
                         "=VALUE as well");
        return false;
    }
    varn::storeAdvanceFields(b, fields, check);
    return true;
}

// As the login script editor's OK stores it.
bool applyScript(DeviceConfig& b, const Values& v, std::vector<std::string>& errors) {
    varn::LoginScript script = varn::loadLoginScript(b);
    std::array<std::size_t, DeviceConfig::kScriptPairs> lengths{};
    for (std::size_t i = 0; i < DeviceConfig::kScriptPairs; ++i) {
        const std::string n = std::to_string(i + 1);
        if (auto it = v.find("scriptPrompt" + n); it != v.end())
            script.prompts[i] = it->second;
        if (auto it = v.find("scriptResponse" + n); it != v.end())
            script.responses[i] = it->second;
        lengths[i] = script.responses[i].size();
    }
    if (script.prompts[0].empty()) {
        errors.push_back("terminal mode needs a first prompt: give scriptPrompt1");
        return false;
    }
    for (std::size_t i = 0; i < lengths.size(); ++i)
        if (varn::responseKeep(lengths, i) < lengths[i]) {
            std::size_t total = 0;
            for (std::size_t n : lengths)
                total += n;
            errors.push_back("the script's responses hold " + std::to_string(total) +
                             " characters in all, at most " +
                             std::to_string(varn::kScriptResponsesTotal));
            return false;
        }
    varn::storeLoginScript(b, script);
    return true;
}

} // namespace

std::vector<std::string> checkAssignments(const std::vector<Assignment>& assignments,
                                          bool loopbackAllowed) {
    Values values;
    return convertAll(assignments, loopbackAllowed, values);
}

Edit applyAssignments(const DeviceConfig& present, const std::vector<Assignment>& assignments,
                      bool loopbackAllowed) {
    Values v;
    Edit edit{present, convertAll(assignments, loopbackAllowed, v)};
    if (!edit.errors.empty())
        return edit;
    DeviceConfig& b = edit.block;
    std::vector<std::string>& errors = edit.errors;
    const auto mode = v.find("loginMode");
    const bool terminal = mode != v.end() && mode->second == "1";
    const bool ppp = mode != v.end() && mode->second == "2";
    const bool account = anyOf(v, {"pppUserName", "pppPassword"});
    const bool script = anyScriptField(v);
    if ((script || terminal) && (account || ppp)) {
        errors.push_back("the login area holds either the PPP account or the login script: give "
                         "pppUserName and pppPassword, or the script's fields, not both");
        return edit;
    }

    if (!applyAdvance(b, v, errors))
        return edit;
    if (script || terminal) {
        if (!applyScript(b, v, errors))
            return edit;
    } else if (account) {
        // Typing into an account field means logging in by PPP.
        if (varn::fieldChanged({}, {varn::ConfigField::UserName}).pppMode)
            b.setLoginMode(varn::LoginMode::Ppp);
    } else if (ppp && !b.inLoginMode(varn::LoginMode::Ppp)) {
        varn::storeLoginScript(b, {}); // the editor left with no first prompt
    }

    // The Configuration dialog's fields, loaded as it loads them when it
    // opens, then its Save.
    varn::ConfigFields fields;
    fields.deviceName = b.deviceName();
    for (int i = 0; i < 4; ++i)
        fields.octets[std::size_t(i)] = std::to_string(b.lanIpOctet(i));
    fields.phoneNumber = b.phoneNumber();
    if (present.inLoginMode(varn::LoginMode::Ppp)) {
        fields.userName = present.pppUserName();
        fields.password = present.pppPassword();
    }
    if (auto it = v.find("deviceName"); it != v.end())
        fields.deviceName = it->second;
    if (auto it = v.find("lanIpAddress"); it != v.end()) {
        const std::uint32_t address = parseAddress(it->second).value_or(0);
        for (int i = 0; i < 4; ++i)
            fields.octets[std::size_t(i)] = std::to_string(varn::addressOctet(address, i));
    }
    if (auto it = v.find("phoneNumber"); it != v.end())
        fields.phoneNumber = it->second;
    if (auto it = v.find("pppUserName"); it != v.end())
        fields.userName = it->second;
    if (auto it = v.find("pppPassword"); it != v.end())
        fields.password = it->second;
    switch (varn::storeConfigFields(b, fields).outcome) {
    case varn::SaveResult::Stored:
        break;
    case varn::SaveResult::NeedAccount:
        errors.push_back(std::string(varn::texts::kNeedAccount) +
                         " (PPP mode: give pppUserName, or the login script)");
        return edit;
    case varn::SaveResult::BadOctet:
        errors.push_back(varn::texts::kInvalidAddress);
        return edit;
    }

    // As the Change Password dialog stores it.
    if (auto it = v.find("devicePassword"); it != v.end())
        b.setDevicePassword(it->second);
    return edit;
}

std::optional<std::string> fieldText(const DeviceConfig& block, const std::string& field) {
    for (const Field& f : interpretFields(block))
        if (f.name == field)
            return f.value.is_string() ? f.value.get<std::string>() : f.value.dump();
    return std::nullopt;
}

bool isViewField(const std::string& field) {
    const std::vector<std::string>& names = fieldOrder();
    return std::find(names.begin(), names.end(), field) != names.end();
}

} // namespace varnctl
