#include "backup.h"

#include "protocol/wire.h"
#include "text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <set>

namespace varnctl {

namespace {

using ordered_json = nlohmann::ordered_json;
using json = nlohmann::json;
using varn::DeviceConfig;

constexpr std::size_t kBytesPerLine = 32;
constexpr std::size_t kLines = DeviceConfig::kSize / kBytesPerLine;

std::string hexByte(std::uint8_t b) {
    static const char digits[] = "0123456789abcdef";
    return {digits[b >> 4], digits[b & 0xF]};
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string crcText(std::uint32_t crc) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", unsigned(crc));
    return text;
}

std::string stringMember(const json& object, const char* key) {
    auto it = object.find(key);
    return it != object.end() && it->is_string() ? it->get<std::string>() : std::string();
}

BackupRead refuse(const std::string& why) {
    return {std::nullopt, why};
}

std::string shown(const Field& f) {
    return f.secret ? "(hidden)" : f.value.dump();
}

// Parses JSON, noting the first key that an object holds twice (a parser
// would keep one of them silently, so the view read need not be the one used).
json parseNotingDuplicates(const std::string& text, std::string& duplicate, std::size_t& errorAt) {
    std::vector<std::set<std::string>> open;
    const json::parser_callback_t note = [&](int, json::parse_event_t event, json& parsed) {
        if (event == json::parse_event_t::object_start) {
            open.emplace_back();
        } else if (event == json::parse_event_t::object_end) {
            if (!open.empty())
                open.pop_back();
        } else if (event == json::parse_event_t::key && !open.empty() && duplicate.empty()) {
            const std::string key = parsed.get<std::string>();
            if (!open.back().insert(key).second)
                duplicate = key;
        }
        return true;
    };
    try {
        return json::parse(text, note);
    } catch (const json::parse_error& e) {
        errorAt = e.byte;
        return json(json::value_t::discarded);
    }
}

} // namespace

std::vector<Field> interpretFields(const DeviceConfig& b) {
    std::vector<Field> fields;
    auto text = [&](const std::string& name, const std::string& value, bool secret = false) {
        fields.push_back({name, latin1ToUtf8(value), secret});
    };
    auto number = [&](const std::string& name, unsigned value) {
        fields.push_back({name, value, false});
    };
    auto flag = [&](const std::string& name, bool value) {
        fields.push_back({name, value, false});
    };

    text("deviceName", b.deviceName());
    text("devicePassword", b.devicePassword(), true);
    fields.push_back({"lanIpAddress", varn::dottedText(b.lanIpAddress()), false});
    number("idleMinutes", b.idleMinutes());
    number("dialOptions", b.data()[DeviceConfig::kDialOptions]);
    flag("blindDial", b.blindDial());
    text("phoneNumber", b.phoneNumber());
    number("loginMode", b.loginMode());
    if (b.inLoginMode(varn::LoginMode::Ppp)) {
        text("pppUserName", b.pppUserName());
        text("pppPassword", b.pppPassword(), true);
    } else if (b.inLoginMode(varn::LoginMode::Terminal)) {
        for (int pair = 0; pair < int(DeviceConfig::kScriptPairs); ++pair) {
            const std::string n = std::to_string(pair + 1);
            text("scriptPrompt" + n, b.scriptPrompt(pair));
            text("scriptResponse" + n, b.scriptResponse(pair));
        }
    }
    flag("useAlternativeNumbers", b.useAlternativeNumbers());
    number("alternativeTries", b.alternativeTries());
    text("alternativeNumber1", b.alternativeNumber(1));
    text("alternativeNumber2", b.alternativeNumber(2));
    return fields;
}

// Every field name of the view in record order, both views of the login area
// in place, so that a change list reads the same whatever the login modes.
const std::vector<std::string>& fieldOrder() {
    static const std::vector<std::string> order = [] {
        DeviceConfig ppp, terminal;
        ppp.setLoginMode(varn::LoginMode::Ppp);
        terminal.setLoginMode(varn::LoginMode::Terminal);
        std::vector<std::string> names;
        for (const Field& f : interpretFields(ppp)) {
            names.push_back(f.name);
            if (f.name == "pppPassword")
                for (const Field& t : interpretFields(terminal))
                    if (t.name.rfind("script", 0) == 0)
                        names.push_back(t.name);
        }
        return names;
    }();
    return order;
}

std::uint32_t crc32(const std::uint8_t* data, std::size_t length) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string writeBackup(const Backup& backup) {
    const DeviceConfig& block = backup.block;
    ordered_json lines = ordered_json::array();
    for (std::size_t line = 0; line < kLines; ++line) {
        std::string hex;
        for (std::size_t i = 0; i < kBytesPerLine; ++i)
            hex += hexByte(block.data()[line * kBytesPerLine + i]);
        lines.push_back(hex);
    }
    ordered_json fields = ordered_json::object();
    for (const Field& f : interpretFields(block))
        fields[f.name] = f.value;

    ordered_json file;
    file["format"] = kBackupFormat;
    file["version"] = kBackupVersion;
    file["appliance"] = {{"name", latin1ToUtf8(backup.source.name)},
                         {"address", backup.source.address},
                         {"firmware", latin1ToUtf8(backup.source.firmware)},
                         {"saved_at", backup.source.savedAt}};
    file["block"] = {{"size", DeviceConfig::kSize},
                     {"crc32", crcText(crc32(block.data(), DeviceConfig::kSize))},
                     {"hex", lines}};
    file["fields"] = fields;
    return file.dump(2) + "\n";
}

BackupRead readBackup(const std::string& text) {
    if (text.size() > kBackupMaxBytes)
        return refuse("the file is larger than a backup can be (" + std::to_string(text.size()) +
                      " bytes, at most " + std::to_string(kBackupMaxBytes) + ")");
    if (text.empty())
        return refuse("the file is empty");
    if (const auto at = utf8Error(text))
        return refuse("the file is not UTF-8 text (byte " + std::to_string(*at + 1) +
                      " is not a UTF-8 character), so it is no backup");
    std::string duplicate;
    std::size_t errorAt = 0;
    const json file = parseNotingDuplicates(text, duplicate, errorAt);
    if (file.is_discarded())
        return refuse("the file is not complete JSON (truncated or damaged; byte " +
                      std::to_string(errorAt) + " of " + std::to_string(text.size()) + ")");
    if (!duplicate.empty())
        return refuse("the file has the key \"" + duplicate +
                      "\" twice in one object, so what it shows need not be what is restored");
    if (!file.is_object() || stringMember(file, "format") != kBackupFormat)
        return refuse("the file is not a varnctl configuration backup");
    if (!file.contains("version") || file["version"] != kBackupVersion)
        return refuse("the backup's version is not " + std::to_string(kBackupVersion));

    const auto blockIt = file.find("block");
    if (blockIt == file.end() || !blockIt->is_object())
        return refuse("the backup has no \"block\"");
    const json& blockJson = *blockIt;
    const auto hexIt = blockJson.find("hex");
    if (hexIt == blockJson.end() || !hexIt->is_array())
        return refuse("the block has no \"hex\" lines");

    Backup backup;
    std::size_t count = 0;
    for (std::size_t n = 0; n < hexIt->size(); ++n) {
        const json& line = (*hexIt)[n];
        if (!line.is_string())
            return refuse("the block's hex lines must be strings");
        const std::string hex = line.get<std::string>();
        if (hex.size() % 2 != 0)
            return refuse("the block's line " + std::to_string(n + 1) +
                          " has an odd number of hex digits");
        for (std::size_t i = 0; i < hex.size(); i += 2) {
            const int high = hexDigit(hex[i]), low = hexDigit(hex[i + 1]);
            if (high < 0 || low < 0)
                return refuse("the block holds \"" + hex.substr(i, 2) +
                              "\", which is not a hex byte");
            if (count < DeviceConfig::kSize)
                backup.block.data()[count] = std::uint8_t(high << 4 | low);
            ++count;
        }
    }
    if (count != DeviceConfig::kSize)
        return refuse("the block has " + std::to_string(count) + " bytes, not " +
                      std::to_string(DeviceConfig::kSize) +
                      (count < DeviceConfig::kSize ? " (truncated)" : ""));
    const std::string storedCrc = stringMember(blockJson, "crc32");
    const std::string actualCrc = crcText(crc32(backup.block.data(), DeviceConfig::kSize));
    if (storedCrc.empty())
        return refuse("the block has no crc32");
    if (storedCrc != actualCrc)
        return refuse("the block's checksum is " + actualCrc + ", the file says " + storedCrc +
                      ": the block was damaged or edited");

    const auto fieldsIt = file.find("fields");
    if (fieldsIt == file.end() || !fieldsIt->is_object())
        return refuse("the backup has no \"fields\" view");
    // Every disagreement, so that one look shows all that was edited.
    const std::vector<Field> fields = interpretFields(backup.block);
    std::string disagreements;
    const auto disagree = [&](const std::string& why) {
        disagreements += (disagreements.empty() ? "" : "; ") + why;
    };
    for (const Field& f : fields) {
        const auto it = fieldsIt->find(f.name);
        if (it == fieldsIt->end())
            disagree("the fields view lacks \"" + f.name + "\"");
        else if (*it != json::parse(f.value.dump()))
            disagree("the fields view says " + f.name + " is " + it->dump() +
                     " but the block holds " + (f.secret ? "another" : f.value.dump()));
    }
    for (const auto& [key, value] : fieldsIt->items()) {
        bool known = false;
        for (const Field& f : fields)
            known = known || f.name == key;
        if (!known)
            disagree("the fields view has \"" + key + "\", which this block does not use");
    }
    if (!disagreements.empty())
        return refuse(disagreements +
                      ". Only the block is restored, and the view is not read back into it: "
                      "to change a setting, use varnctl config set NAME FIELD=VALUE");

    if (const auto it = file.find("appliance"); it != file.end() && it->is_object()) {
        backup.source.name = stringMember(*it, "name");
        backup.source.address = stringMember(*it, "address");
        backup.source.firmware = stringMember(*it, "firmware");
        backup.source.savedAt = stringMember(*it, "saved_at");
    }
    return {backup, ""};
}

BlockDiff diffBlocks(const DeviceConfig& before, const DeviceConfig& after, bool identityFirst) {
    BlockDiff diff;
    const std::vector<Field> a = interpretFields(before), b = interpretFields(after);
    std::vector<std::string> names = fieldOrder();
    if (identityFirst) {
        const std::string first[] = {"deviceName", "lanIpAddress"};
        names.erase(
            std::remove_if(names.begin(), names.end(),
                           [&](const std::string& n) { return n == first[0] || n == first[1]; }),
            names.end());
        names.insert(names.begin(), std::begin(first), std::end(first));
    }
    auto find = [](const std::vector<Field>& list, const std::string& name) -> const Field* {
        for (const Field& f : list)
            if (f.name == name)
                return &f;
        return nullptr;
    };
    for (const std::string& name : names) {
        const Field* x = find(a, name);
        const Field* y = find(b, name);
        if (x == nullptr && y == nullptr)
            continue; // the other view of the login area on both sides
        if (x != nullptr && y != nullptr && x->value == y->value)
            continue;
        diff.fields.push_back({name, x ? shown(*x) : "(not used)", y ? shown(*y) : "(not used)"});
    }
    for (std::size_t i = 0; i < DeviceConfig::kSize; ++i)
        diff.bytesDiffering += before.bytes[i] != after.bytes[i] ? 1 : 0;
    return diff;
}

std::string formatDiff(const BlockDiff& diff) {
    std::size_t width = 0;
    for (const FieldChange& c : diff.fields)
        width = std::max(width, c.name.size());
    std::string out;
    for (const FieldChange& c : diff.fields)
        out += "  " + c.name + std::string(width - c.name.size() + 2, ' ') + c.before + " -> " +
               c.after + "\n";
    out += "  " + std::to_string(diff.fields.size()) + " field(s) change; " +
           std::to_string(diff.bytesDiffering) + " of " + std::to_string(DeviceConfig::kSize) +
           " bytes differ in all (bytes the utility does not interpret included)\n";
    return out;
}

} // namespace varnctl
