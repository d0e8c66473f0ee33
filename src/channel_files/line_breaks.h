#pragma once

// Line ends as the file readers count them: CR LF, LF or CR each end a line.
namespace kr4720::channel_files {

// Whether `c` starts a new line: a CR, or an LF that does not end a CR LF.
inline bool breaksLine(char c, char previous) {
    return c == '\r' || (c == '\n' && previous != '\r');
}

} // namespace kr4720::channel_files
