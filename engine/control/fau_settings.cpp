#include "engine/control/fau_settings.h"

#include <cstdlib>
#include <cstring>

#include "platform/temp_dir.h"

namespace zrt {
namespace {

constexpr size_t kMaxLine = 1023;
// FAU.txt is a few lines long; a file far larger than that is not ours, and
// reading it to the end would only stall the set-up.
constexpr size_t kMaxFileBytes = 1 << 20;
constexpr char kKey[] = "FAUScanPosition";
constexpr char kEndLine[] = "* End Of File *";
constexpr char kSeparators[] = " ,=\t\r\n";

// One line without its line end. `overlong` is set when the line had more
// than kMaxLine characters; its text is then unusable.
struct Line {
    char text[kMaxLine + 1];
    size_t length = 0;
    bool overlong = false;
    bool hasNul = false;
};

// Reads up to and including the next '\n'; false at the end of the file
// with nothing read.
bool ReadLine(std::FILE* file, Line& line, size_t& budget) {
    line.length = 0;
    line.overlong = false;
    line.hasNul = false;
    bool any = false;
    int ch = 0;
    while (budget > 0 && (ch = std::fgetc(file)) != EOF) {
        --budget;
        any = true;
        if (ch == '\n') break;
        if (ch == '\0') line.hasNul = true;
        if (line.length < kMaxLine) {
            line.text[line.length++] = static_cast<char>(ch);
        } else {
            line.overlong = true;
        }
    }
    while (line.length > 0 && line.text[line.length - 1] == '\r') --line.length;
    line.text[line.length] = '\0';
    return any;
}

// The value of a key line, if this is one.
bool ParseKeyLine(char* text, uint8_t& position) {
    char* save = nullptr;
    const char* key = strtok_r(text, kSeparators, &save);
    if (key == nullptr || std::strcmp(key, kKey) != 0) return false;
    const char* value = strtok_r(nullptr, kSeparators, &save);
    if (value == nullptr) return false;
    // Automatic base: decimal, 0x hexadecimal, leading 0 octal; the number
    // ends at the first character that does not fit.
    position = static_cast<uint8_t>(std::strtoul(value, nullptr, 0) & 0xFF);
    return true;
}

}  // namespace

bool ParseFauSettings(std::FILE* file, uint8_t& position) {
    Line line;
    size_t budget = kMaxFileBytes;
    while (ReadLine(file, line, budget)) {
        // A line cut into pieces or holding NUL bytes could smuggle a key
        // into what the file's writer meant as one line; it counts as garbage.
        if (line.overlong || line.hasNul) continue;
        if (line.text[0] == '#') continue;
        if (std::strcmp(line.text, kEndLine) == 0) return false;
        if (ParseKeyLine(line.text, position)) return true;
    }
    return false;
}

std::string FauSettingsPath() {
    const std::string dir = platform::UserTempDirectory();
    if (dir.empty()) return {};
    return dir + "FAU.txt";
}

bool LoadFauSettings(uint8_t& position) {
    const std::string path = FauSettingsPath();
    if (path.empty()) return false;
    std::FILE* file = platform::OpenFileNoFollow(path, "rb");
    if (file == nullptr) return false;
    const bool found = ParseFauSettings(file, position);
    std::fclose(file);
    return found;
}

}  // namespace zrt
