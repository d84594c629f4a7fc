#include "appliance.h"

#include <cstring>

namespace sim {

namespace {

std::string trimSpaces(std::string s) {
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

bool usableAddress(std::uint32_t a) {
    return a != 0 && a != 0xFFFFFFFFu && (a >> 28) < 14;
}

} // namespace

Block buildBlock(const ApplianceProfile& profile, std::uint32_t address) {
    Block b{};
    // The appliance's private bytes: a fixed pseudo-random pattern, never zero,
    // different per appliance, so that a utility that drops or moves them is seen.
    std::uint32_t x = 0x9E3779B9u ^ (profile.fillerSeed * 0x85EBCA6Bu) ^ address;
    for (const auto& s : block::kPrivate)
        for (std::size_t i = s.begin; i < s.end; ++i) {
            x = x * 1103515245u + 12345u;
            b[i] = std::uint8_t(1 + (x >> 16) % 255);
        }
    writeText(&b[block::kName], block::kNameSize, profile.name);
    writeText(&b[block::kPassword], block::kPasswordSize, profile.password);
    writeAddress(&b[block::kLanAddress], address);
    b[block::kIdleMinutes] = profile.idleMinutes;
    b[block::kDialOptions] = profile.dialOptions;
    writeText(&b[block::kPhone], block::kPhoneSize, profile.phoneNumber);
    b[block::kLoginMode] = profile.loginMode;
    if (profile.loginMode == 1) {
        std::size_t offset = 0;
        for (std::size_t i = 0; i < profile.script.size() && i < 4; ++i) {
            writeText(&b[block::kPrompts + 8 * i], 8, profile.script[i].prompt);
            const std::string& r = profile.script[i].response;
            std::size_t n = offset + r.size() <= 48 ? r.size() : 48 - offset;
            std::memcpy(&b[block::kResponses + offset], r.data(), n);
            offset += n;
            b[block::kOffsets + i + 1] = std::uint8_t(offset);
        }
        for (std::size_t i = profile.script.size(); i < 4; ++i)
            b[block::kOffsets + i + 1] = std::uint8_t(offset);
    } else {
        writeText(&b[block::kPppUser], block::kPppUserSize, profile.pppUser);
        writeText(&b[block::kPppPassword], block::kPppPasswordSize, profile.pppPassword);
    }
    b[block::kUseAlternatives] = profile.useAlternativeNumbers ? 1 : 0;
    b[block::kAlternativeTries] = profile.alternativeTries;
    writeText(&b[block::kAlternative1], block::kAlternativeSize, profile.alternativeNumber1);
    writeText(&b[block::kAlternative2], block::kAlternativeSize, profile.alternativeNumber2);
    return b;
}

Bytes pppFraming() {
    // Flag, address, escaped control, then an LCP Configure-Request (protocol
    // C0 21, code 1, id 1, length 4) with the control characters escaped.
    return {0x7E, 0xFF, 0x7D, 0x23, 0xC0, 0x21, 0x7D, 0x21, 0x7D,
            0x21, 0x7D, 0x20, 0x7D, 0x24, 0x9A, 0x38, 0x7E};
}

Appliance::Appliance(const ApplianceProfile& profile, std::uint32_t address)
    : profile_(profile), address_(address), block_(buildBlock(profile, address)),
      state_(profile.state), result_(profile.result), wanAddress_(profile.wanAddress),
      lineSpeed_(profile.lineSpeed) {}

std::string Appliance::name() const {
    return readText(&block_[block::kName], block::kNameSize);
}

bool Appliance::accepts(const Request& request, bool broadcast) const {
    (void)broadcast; // the server only offers a unicast to its owner
    switch (request.type) {
    case 2:
        return request.name == trimSpaces(name());
    case 13:
        return trimSpaces(request.name) == trimSpaces(name()) && request.currentAddress == address_;
    default:
        return true;
    }
}

Bytes Appliance::terminalData(const std::string& text) const {
    return terminalData(Bytes(text.begin(), text.end()));
}

Bytes Appliance::terminalData(const Bytes& data) const {
    std::size_t n = data.size() > kMaxDatagram - 10 ? kMaxDatagram - 10 : data.size();
    Bytes reply = makeReply(5, 2 + n);
    writeLe16(&reply[8], std::uint16_t(n));
    std::memcpy(&reply[10], data.data(), n);
    return reply;
}

std::vector<Outgoing> Appliance::handle(const Request& request, std::uint32_t requester) {
    std::vector<Outgoing> out;
    auto ack = [&] {
        Bytes r = makeReply(request.type, 0);
        if (request.type == 15)
            r[6] = accountReply;
        if (headerOnlyAcks)
            r.resize(kHeader - 1);
        out.push_back({r, 0});
    };
    auto result = [&](std::uint8_t code) {
        Bytes r = makeReply(request.type, 1);
        r[8] = code;
        out.push_back({r, 0});
    };

    switch (request.type) {
    case 1: {
        Bytes r = makeReply(1, 21);
        std::memcpy(&r[8], &block_[block::kName], block::kNameSize);
        writeAddress(&r[20], address_);
        r[24] = state_;
        writeAddress(&r[25], requester);
        out.push_back({r, 0});
        break;
    }
    case 2: {
        Bytes r = makeReply(2, kBlockSize);
        std::memcpy(&r[8], block_.data(), kBlockSize);
        out.push_back({r, 0});
        break;
    }
    case 3:
        promptIndex_ = 0;
        if (profile_.isp.kind == IspScript::Kind::DialFailure || request.phoneNumber.empty()) {
            std::uint8_t code = request.phoneNumber.empty() ? 10 : profile_.isp.dialResult;
            state_ = 6;
            result_ = code;
            dialled_ = false;
            result(code);
            break;
        }
        dialled_ = true;
        result(0);
        if (profile_.isp.kind == IspScript::Kind::Ppp) {
            state_ = 4;
            out.push_back({terminalData(pppFraming()), ispDelayMs});
        } else {
            state_ = 3;
            out.push_back({terminalData(profile_.isp.prompts[0].prompt), ispDelayMs});
        }
        break;
    case 4: {
        std::uint8_t code = 0;
        if (!dialled_ || state_ != 4)
            code = 2; // nothing on the line to negotiate with
        else if (profile_.isp.pppResult != 0)
            code = profile_.isp.pppResult;
        else if (request.loginKind == 2 && !profile_.isp.user.empty() &&
                 (request.userName != profile_.isp.user ||
                  request.password != profile_.isp.password.substr(0, 20)))
            code = 1;
        if (code == 0) {
            state_ = 5;
            result_ = 0;
            if (wanAddress_ == 0)
                wanAddress_ = 0xC6336400u | (address_ & 0xFF); // 198.51.100.x
            if (lineSpeed_ == 0)
                lineSpeed_ = 33600;
        } else {
            state_ = 7;
            result_ = code;
        }
        result(code);
        break;
    }
    case 5: {
        if (state_ != 3 || profile_.isp.kind != IspScript::Kind::Terminal)
            break; // no terminal login running: the ISP hears nothing
        const auto& prompts = profile_.isp.prompts;
        // A terminal server echoes a login name, not a password.
        const std::string echo = prompts[promptIndex_].echo ? request.response : "";
        if (request.response == prompts[promptIndex_].expect) {
            ++promptIndex_;
            if (promptIndex_ < prompts.size()) {
                out.push_back(
                    {terminalData(echo + "\r\n" + prompts[promptIndex_].prompt), ispDelayMs});
            } else {
                // The last line of text, then the ISP goes PPP.
                const std::string text = echo + "\r\nEntering PPP mode.\r\n";
                Bytes data(text.begin(), text.end());
                for (std::uint8_t byte : pppFraming())
                    data.push_back(byte);
                state_ = 4;
                out.push_back({terminalData(data), ispDelayMs});
            }
        } else {
            promptIndex_ = 0;
            out.push_back(
                {terminalData(echo + "\r\nLogin incorrect\r\n" + prompts[0].prompt), ispDelayMs});
        }
        break;
    }
    case 7:
        std::memcpy(block_.data(), &request.bytes[8], kBlockSize);
        ack();
        break;
    case 8:
        if (state_ <= 5)
            state_ = 0;
        dialled_ = false;
        ack();
        break;
    case 9:
        if (state_ >= 1 && state_ <= 5)
            state_ = 0;
        dialled_ = false;
        promptIndex_ = 0;
        ack();
        break;
    case 13:
        if (!usableAddress(request.newAddress))
            break;
        ack(); // from the old address, before the move
        address_ = request.newAddress;
        writeAddress(&block_[block::kLanAddress], address_);
        break;
    case 15:
        accountUser_ = request.userName;
        accountPassword_ = request.password;
        ack();
        break;
    case 33: {
        Bytes r = makeReply(33, 48);
        writeText(&r[24], 16, profile_.firmwareVersion);
        writeText(&r[40], 16, profile_.modemVersion);
        out.push_back({r, 0});
        break;
    }
    case 36: {
        Bytes r = makeReply(36, 20);
        std::memcpy(&r[8], &block_[block::kName], block::kNameSize);
        r[20] = state_;
        r[21] = result_;
        writeAddress(&r[22], state_ == 5 ? wanAddress_ : 0);
        writeLe16(&r[26], state_ >= 3 && state_ <= 5 ? lineSpeed_ : 0);
        out.push_back({r, 0});
        break;
    }
    default: // 11, 12, 14
        ack();
        break;
    }
    return out;
}

} // namespace sim
