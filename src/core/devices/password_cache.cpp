#include "devices/password_cache.h"

#include <cstring>

namespace varn {

namespace {
std::string_view rowName(const std::uint8_t* row, std::size_t width) {
    const char* text = reinterpret_cast<const char*>(row);
    std::size_t length = 0;
    while (length < width && text[length] != '\0') {
        ++length;
    }
    return {text, length};
}
} // namespace

int PasswordCache::size() const {
    int n = 0;
    while (n < kRows && rows_[n][0] != 0) {
        ++n;
    }
    return n;
}

bool PasswordCache::granted(std::string_view name) const {
    name = name.substr(0, kNameWidth);
    const int used = size();
    for (int i = 0; i < used; ++i) {
        if (rowName(rows_[i], kNameWidth) == name && rows_[i][kFlag] != 0) {
            return true;
        }
    }
    return false;
}

bool PasswordCache::add(std::string_view name) {
    name = name.substr(0, kNameWidth);
    const int end = size();
    if (end >= kRows || name.empty()) {
        return false;
    }
    std::uint8_t* row = rows_[end];
    std::memset(row, 0, kNameWidth + 1);
    std::memcpy(row, name.data(), name.size());
    row[kFlag] = 1;
    if (end + 1 < kRows) {
        rows_[end + 1][0] = 0; // the new end of the table
    }
    return true;
}

} // namespace varn
