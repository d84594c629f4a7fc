#pragma once
// The backup file of one appliance's configuration: JSON holding the 512 bytes
// of the block (hexadecimal lines and a CRC-32) and a readable view of the
// fields the utility interprets. The block is what is restored; the view is
// for people and must agree with the block, so that a hand edit of the view
// (which would not be restored) is refused rather than silently ignored.

#include "protocol/device_config.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varnctl {

inline constexpr const char* kBackupFormat = "varnctl-configuration-backup";
inline constexpr int kBackupVersion = 1;
// Larger files are refused unread.
inline constexpr std::size_t kBackupMaxBytes = std::size_t{64} * 1024;

// Where the block came from; for people, not checked on reading.
struct BackupSource {
    std::string name;
    std::string address;
    std::string firmware;
    std::string savedAt; // UTC, ISO 8601
};

struct Backup {
    varn::DeviceConfig block;
    BackupSource source;
};

// One interpreted field of a block, by the record's field name.
struct Field {
    std::string name;
    nlohmann::ordered_json value;
    bool secret = false; // a password: the diff does not print it
};

// The fields of a block in record order. The PPP fields appear only in PPP
// mode, the login script only in terminal mode, as the block's loginMode says.
std::vector<Field> interpretFields(const varn::DeviceConfig& block);
// Every name the view can hold, in record order, both views of the login area
// in place.
const std::vector<std::string>& fieldOrder();

// CRC-32 (the common reflected polynomial 0xEDB88320).
std::uint32_t crc32(const std::uint8_t* data, std::size_t length);

// The file's text.
std::string writeBackup(const Backup& backup);

struct BackupRead {
    std::optional<Backup> backup; // empty when refused
    std::string error;            // why, in plain words
};
// Checks everything before the block may be used: size, UTF-8, JSON without
// duplicate keys, format and version, 512 bytes, checksum, and a view that
// agrees with the block.
BackupRead readBackup(const std::string& text);

// One line of the change list.
struct FieldChange {
    std::string name;
    std::string before, after; // shown values; "(not used)" when the field is absent
};
struct BlockDiff {
    std::vector<FieldChange> fields;
    int bytesDiffering = 0; // of the 512, interpreted or not
};
// In record order whatever the login modes; with identityFirst the device
// name and the LAN address lead (a backup of another appliance).
BlockDiff diffBlocks(const varn::DeviceConfig& before, const varn::DeviceConfig& after,
                     bool identityFirst = false);
// The change list as printed before a restore.
std::string formatDiff(const BlockDiff& diff);

} // namespace varnctl
