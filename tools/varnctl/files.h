#pragma once
// The files varnctl reads and writes for its caller. varnctl may run as root
// (for port 777), so a path is taken for what it is: only regular files are
// read or replaced, never a FIFO, a device or a directory, and nothing waits
// without end for a writer that may never come.

#include <cstddef>
#include <string>

namespace varnctl {

// The whole of a regular file of at most `limit` bytes. "-" is standard
// input, read until its end or `limit` bytes for at most kStdinSeconds. When
// it is not read, the reason is in *error; a file over the limit is named
// with its real size.
inline constexpr int kStdinSeconds = 10;
enum class FileRead { Read, Unreadable, TooLarge };
FileRead readInputFile(const std::string& path, std::size_t limit, std::string& text,
                       std::string* error);

// The file's first line without its line end. A file that group or others may
// read gets a warning in *warning (empty otherwise).
bool readPasswordFile(const std::string& path, std::string& password, std::string* warning,
                      std::string* error);

// Writes the file whole or not at all, readable by its owner only: a
// temporary file beside it, renamed over it. The target must be absent or a
// regular file; a symbolic link to one is kept and its target replaced.
bool writeOutputFile(const std::string& path, const std::string& text, std::string* error);
// The same checks of the target alone, made before anything is sent.
bool checkOutputFile(const std::string& path, std::string* error);

} // namespace varnctl
