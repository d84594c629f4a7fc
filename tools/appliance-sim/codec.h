#pragma once
// The appliance's view of the wire: checks the requests it is sent against the
// catalogue it understands, builds its replies, and describes any datagram in
// one line for the log. Deliberately shares no code with the utility's link
// layer, so that each side checks the other.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr char kMagic[] = "Quorix"; // 6 bytes on the wire, no terminator
inline constexpr std::size_t kHeader = 8;
inline constexpr std::uint8_t kReplyFlag = 0x80;
inline constexpr std::size_t kBlockSize = 512;
inline constexpr std::size_t kMaxDatagram = 1536;

// IPv4 addresses are kept in host order inside the simulator; the wire carries
// them first octet first.
std::string dotted(std::uint32_t hostOrder);
std::optional<std::uint32_t> parseDotted(const std::string& text);
std::uint32_t readAddress(const std::uint8_t* p);
void writeAddress(std::uint8_t* p, std::uint32_t hostOrder);
std::uint16_t readLe16(const std::uint8_t* p);
void writeLe16(std::uint8_t* p, std::uint16_t value);

// Fixed-width text: the characters up to the first NUL, at most width.
std::string readText(const std::uint8_t* p, std::size_t width);
// Writes at most width characters and pads with NULs.
void writeText(std::uint8_t* p, std::size_t width, const std::string& text);

// A request that passed the catalogue's checks.
struct Request {
    std::uint8_t type = 0;
    Bytes bytes; // the whole datagram

    // Payload fields, filled for the types that carry them.
    std::string name;                 // 2 (spaces trimmed), 13 (text)
    std::string phoneNumber;          // 3
    std::uint8_t loginKind = 0;       // 4
    std::string userName;             // 4, 15
    std::string password;             // 4, 15 (first 20 bytes of the account password)
    std::uint16_t responseLength = 0; // 5, as sent
    std::string response;             // 5, the bytes that travel (at most 32)
    std::uint32_t currentAddress = 0; // 13
    std::uint32_t newAddress = 0;     // 13
};

// Name of a request type, or "" when the type is not in the catalogue.
const char* requestName(std::uint8_t type);
// Length of a request of that type, 0 when the type is not in the catalogue.
std::size_t requestLength(std::uint8_t type);

// Checks a received datagram against the catalogue: the magic, a request type
// the appliance knows, the exact length, a zero byte after the type, and the
// padding of every text field. On failure returns nothing and says why.
std::optional<Request> decodeRequest(const std::uint8_t* data, std::size_t length,
                                     std::string* error);

// A reply of `type` (the request's type; the reply flag is added) with
// `payloadLength` zero bytes after the header.
Bytes makeReply(std::uint8_t type, std::size_t payloadLength);

// One line that says what a datagram is: direction-independent, for the log.
// Bytes from the network appear escaped (\xNN, \r, \n, \", \\).
std::string describe(const std::uint8_t* data, std::size_t length);

// The line with every byte outside printable ASCII written as \xNN, so that
// nothing received (a newline, an escape sequence) reaches the log raw.
std::string printable(const std::string& line);

} // namespace sim
