// The film adapter scan position kept in FAU.txt in the user's temporary
// directory: comment lines start with '#', the key line reads
// "FAUScanPosition = <number>", and a line "* End Of File *" ends the file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace zrt {

// Reads FAU.txt; true when the key was found, with the low 8 bits of its
// value in `position`. A missing or unreadable file is not an error: false.
bool LoadFauSettings(uint8_t& position);

// The same on an open stream (the caller closes it).
bool ParseFauSettings(std::FILE* file, uint8_t& position);

// The file's path: the temporary directory followed by FAU.txt; empty when
// no safe temporary directory exists.
std::string FauSettingsPath();

}  // namespace zrt
