#pragma once
// The appliance's 512-byte configuration block. It is a wire format: it travels
// byte for byte in both directions, and every byte this program does not
// interpret goes back to the appliance exactly as it came.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace varn {

// Reads a fixed-width text field: the characters up to the first NUL, at most width.
std::string readTextField(const std::uint8_t* field, std::size_t width);
// Writes text into a fixed-width field: at most width characters, NUL-padded
// (no terminator when full).
void writeTextField(std::uint8_t* field, std::size_t width, std::string_view text);

// How the appliance logs in to its ISP (the record's loginMode byte); any other
// value means neither has been chosen.
enum class LoginMode : std::uint8_t { Terminal = 1, Ppp = 2 };

// Where one response of the login script lies in scriptResponses.
struct ScriptSpan {
    std::size_t begin = 0;  // offset into scriptResponses
    std::size_t length = 0; // bytes
};

class DeviceConfig {
  public:
    static constexpr std::size_t kSize = 512;

    // Block offsets (the "record" starts at offset 2).
    static constexpr std::size_t kDeviceName = 2, kDeviceNameSize = 12;
    static constexpr std::size_t kDevicePassword = 14, kDevicePasswordSize = 4;
    static constexpr std::size_t kLanIpAddress = 18;
    static constexpr std::size_t kIdleMinutes = 23;
    static constexpr std::size_t kDialOptions = 24;
    static constexpr std::uint8_t kBlindDialMask = 0x10;
    static constexpr std::size_t kPhoneNumber = 74, kPhoneNumberSize = 16;
    static constexpr std::size_t kLoginMode = 131;
    static constexpr std::size_t kLoginArea = 132, kLoginAreaSize = 85;
    // PPP view of the login area
    static constexpr std::size_t kPppUserName = 132, kPppUserNameSize = 32;
    static constexpr std::size_t kPppPassword = 164, kPppPasswordSize = 53;
    static constexpr std::size_t kPppPasswordMaxText = 48;
    // Terminal view of the login area
    static constexpr std::size_t kScriptPrompts = 132, kScriptPromptSize = 8, kScriptPairs = 4;
    static constexpr std::size_t kScriptOffsets = 164, kScriptOffsetCount = 5;
    static constexpr std::size_t kScriptResponses = 169, kScriptResponsesSize = 48;
    static constexpr std::size_t kUseAlternativeNumbers = 362;
    static constexpr std::size_t kAlternativeTries = 363;
    static constexpr std::size_t kAlternativeNumber1 = 364, kAlternativeNumber2 = 380;
    static constexpr std::size_t kAlternativeNumberSize = 16; // written with a terminator

    std::array<std::uint8_t, kSize> bytes{};

    std::uint8_t* data() { return bytes.data(); }
    const std::uint8_t* data() const { return bytes.data(); }

    std::string deviceName() const;
    void setDeviceName(std::string_view name);
    std::string devicePassword() const;
    void setDevicePassword(std::string_view password);
    std::uint32_t lanIpAddress() const; // network order
    void setLanIpAddress(std::uint32_t address);
    std::uint8_t lanIpOctet(int i) const;
    void setLanIpOctet(int i, std::uint8_t value);
    std::uint8_t idleMinutes() const;
    void setIdleMinutes(std::uint8_t minutes);
    bool blindDial() const;
    void setBlindDial(bool on); // keeps the other bits of dialOptions
    std::string phoneNumber() const;
    void setPhoneNumber(std::string_view number);
    std::uint8_t loginMode() const; // the raw byte
    bool inLoginMode(LoginMode mode) const { return loginMode() == std::uint8_t(mode); }
    void setLoginMode(LoginMode mode) { setLoginModeByte(std::uint8_t(mode)); }
    void setLoginModeByte(std::uint8_t mode);

    // PPP view (meaningful when loginMode() == 2).
    std::string pppUserName() const;
    void setPppUserName(std::string_view name);
    std::string pppPassword() const;                // at most 48 characters
    void setPppPassword(std::string_view password); // at most 48, then a NUL

    // Terminal view (meaningful when loginMode() == 1).
    std::string scriptPrompt(int pair) const;
    void setScriptPrompt(int pair, std::string_view prompt);
    std::uint8_t scriptOffset(int i) const;     // o0..o4
    std::string scriptResponse(int pair) const; // empty when the offsets are unsound
    // The span of response `pair`, its offsets clamped to the 48-byte area and a
    // decreasing pair taken as empty; empty for a pair outside 0..3.
    ScriptSpan scriptSpan(int pair) const;
    // Rewrites offsets and responses together; responses beyond 48 bytes in all are cut.
    void setScriptResponses(const std::array<std::string, kScriptPairs>& responses);
    void clearLoginArea(); // zeroes the 85 bytes of both views

    bool useAlternativeNumbers() const;
    void setUseAlternativeNumbers(bool on); // writes 1 or 0
    std::uint8_t alternativeTries() const;
    void setAlternativeTries(std::uint8_t tries);
    std::string alternativeNumber(int which) const;                // which = 1 or 2
    void setAlternativeNumber(int which, std::string_view number); // at most 15 + NUL

    bool operator==(const DeviceConfig&) const = default;
};

} // namespace varn
