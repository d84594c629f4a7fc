#pragma once
// What the fuzz targets share: a reader over the fuzzer's bytes, the abort that
// libFuzzer reports as a finding, and the rules every request must keep whatever
// state it was built from. The rules are written here from the protocol, not
// taken from the link, so that they check it.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace fuzz {

inline void check(bool ok) {
    if (!ok)
        std::abort();
}

// Reads the input front to back; an exhausted input reads as zeros.
class Input {
  public:
    Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    bool empty() const { return at_ >= size_; }
    std::size_t left() const { return empty() ? 0 : size_ - at_; }
    std::uint8_t peek() const { return empty() ? 0 : data_[at_]; }
    std::uint8_t byte() { return empty() ? 0 : data_[at_++]; }
    std::uint16_t le16() {
        const std::uint8_t low = byte();
        return std::uint16_t(low | byte() << 8);
    }
    // Up to `length` bytes (fewer when the input ends first).
    std::pair<const std::uint8_t*, std::size_t> take(std::size_t length) {
        const std::size_t n = length < left() ? length : left();
        const std::uint8_t* p = data_ + at_;
        at_ += n;
        return {p, n};
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// The request types and their lengths, header included.
struct CatalogueEntry {
    std::uint8_t type;
    std::size_t length;
    bool broadcast; // sent to 255.255.255.255 whatever the target
};
inline constexpr CatalogueEntry kCatalogue[] = {
    {1, 8, true},    {2, 20, false}, {3, 24, false},  {4, 61, false}, {5, 42, false},
    {7, 520, false}, {8, 8, false},  {9, 8, false},   {11, 8, false}, {12, 8, false},
    {13, 28, true},  {14, 8, false}, {15, 60, false}, {33, 8, false}, {36, 8, true},
};
inline constexpr std::size_t kCatalogueSize = sizeof kCatalogue / sizeof kCatalogue[0];

inline const CatalogueEntry* catalogueEntry(int type) {
    for (const CatalogueEntry& e : kCatalogue)
        if (e.type == type)
            return &e;
    return nullptr;
}

// A request type from one input byte: mostly the catalogue's, sometimes any.
inline int requestType(std::uint8_t selector, std::uint8_t raw) {
    return selector < 240 ? kCatalogue[selector % kCatalogueSize].type : raw;
}

// A script slot from one input byte: small values around the four slots, and
// both ends of the 32-bit range.
inline std::int32_t scriptSlot(std::uint8_t b) {
    if (b == 0x7F)
        return INT32_MAX;
    if (b == 0x80)
        return INT32_MIN;
    return std::int8_t(b);
}

// Checks one datagram the link sent: the length the catalogue gives for its
// type, the magic, the type, a zero byte 7 and the destination (the broadcast
// address for 1, 13 and 36, the target otherwise).
inline void checkRequest(const std::uint8_t* b, std::size_t length, std::uint32_t destination,
                         std::uint32_t targetAddress) {
    check(length >= 8);
    const CatalogueEntry* entry = catalogueEntry(b[6]);
    check(entry != nullptr);
    check(length == entry->length);
    check(std::memcmp(b, "Quorix", 6) == 0);
    check(b[7] == 0);
    check(destination == (entry->broadcast ? 0xFFFFFFFFu : targetAddress));
}

} // namespace fuzz
