#include "framefinder/settings.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "framefinder/settings_keys.h"

namespace zrt::ff {
namespace {

constexpr std::string_view kSeparators = " =\t\n\r";

std::vector<std::string_view> Tokenize(std::string_view line) {
    std::vector<std::string_view> tokens;
    std::size_t pos = 0;
    while (true) {
        pos = line.find_first_not_of(kSeparators, pos);
        if (pos == std::string_view::npos) return tokens;
        std::size_t end = line.find_first_of(kSeparators, pos);
        if (end == std::string_view::npos) end = line.size();
        tokens.push_back(line.substr(pos, end - pos));
        pos = end;
    }
}

int32_t Saturate(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return std::numeric_limits<int32_t>::max();
    if (v <= -2147483648.0) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(v);
}

// Decimal integer: optional sign, digits up to the first other character.
// Values beyond 32 bits saturate instead of wrapping.
int32_t ParseInt(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        if (value < (int64_t{1} << 40)) value = value * 10 + (text[i] - '0');
    }
    return Saturate(static_cast<double>(negative ? -value : value));
}

// Decimal real, independent of the process locale; anything that is no
// finite number gives 0.
double ParseReal(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    double value = 0.0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value,
                                     std::chars_format::general);
    (void)end;
    if (ec != std::errc() || !std::isfinite(value)) return 0.0;
    return negative ? -value : value;
}

uint32_t ParseHex(std::string_view text) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    uint32_t value = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int digit = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
        if (digit < 0) break;
        value = value * 16 + static_cast<uint32_t>(digit);
    }
    return negative ? 0u - value : value;
}

int32_t MillimetresToPixels(double mm, int32_t resolution) {
    return Saturate(std::trunc(mm * resolution / 25.4 + 0.5));
}

// One whole line of any length, without its line end; false at the end of
// the file. Reading whole lines keeps the tail of a long line from being
// taken for a key.
bool ReadLine(std::FILE* file, std::string& line) {
    line.clear();
    char chunk[1024];
    while (std::fgets(chunk, sizeof chunk, file)) {
        line.append(chunk);
        if (!line.empty() && line.back() == '\n') return true;
    }
    return !line.empty();
}

template <typename T>
void Store(FrameSettings& settings, std::size_t offset, T value) {
    std::memcpy(reinterpret_cast<unsigned char*>(&settings) + offset, &value, sizeof value);
}

void StoreValue(FrameSettings& s, const KeyField& field, std::string_view value) {
    switch (field.type) {
    case ValueType::Int: Store<int32_t>(s, field.offset, ParseInt(value)); break;
    case ValueType::U8: Store<uint8_t>(s, field.offset, static_cast<uint8_t>(ParseInt(value))); break;
    case ValueType::U16: Store<uint16_t>(s, field.offset, static_cast<uint16_t>(ParseInt(value))); break;
    case ValueType::Real: Store<double>(s, field.offset, ParseReal(value)); break;
    case ValueType::Millimetre:
        Store<int32_t>(s, field.offset, MillimetresToPixels(ParseReal(value), s.resolution));
        break;
    }
}

void ResetPerCallFields(FrameSettings& s) {
    s.frame_size[ZRTS_SIZE_SLEEVE35].kind = ZRTS_KIND_35MM;
    for (int i = ZRTS_SIZE_BLOWNE45; i <= ZRTS_SIZE_BLOWNE120; ++i) s.frame_size[i].kind = i;
    s.margin_top = s.margin_bottom = s.margin_left = s.margin_right = 0;
    s.black_mylar = 0;
    s.external_module = 0;
}

class SettingsReader {
public:
    SettingsReader(std::FILE* file, FrameSettings& settings) : file_(file), s_(settings) {}

    void Run() {
        std::string line;
        while (ReadLine(file_, line)) ReadOneLine(line);
        CloseBlockAtEnd();
    }

private:
    void ReadOneLine(const std::string& line) {
        std::vector<std::string_view> tokens = Tokenize(line);
        if (tokens.empty()) return;
        if (block_) {
            ReadBlockLine(tokens);
            return;
        }
        if (line[0] == '#') return;
        std::string_view key = tokens[0];
        if (tokens.size() < 2) return;  // a key without a value changes nothing
        std::string_view value = tokens[1];
        if (ReadTemplateKey(key, value) || StartBlock(key, value)) return;
        if (key == "ExternalModule") {
            StoreModuleName(value);
            return;
        }
        for (const KeyField& field : PlainKeys()) {
            if (field.key == key) {
                StoreValue(s_, field, value);
                return;
            }
        }
    }

    bool ReadTemplateKey(std::string_view key, std::string_view value) {
        auto keys = TemplateKeys();
        for (std::size_t t = 0; t < keys.size(); ++t) {
            if (keys[t] != key) continue;
            ReadTemplateLine(t, ParseInt(value));
            return true;
        }
        return false;
    }

    // Numbers beyond the template's capacity are dropped; a short line fills
    // only the bytes it gives.
    void ReadTemplateLine(std::size_t t, int32_t count) {
        if (count <= 0) return;
        std::string line;
        if (!ReadLine(file_, line)) return;
        std::vector<std::string_view> tokens = Tokenize(line);
        std::size_t n = std::min<std::size_t>({static_cast<std::size_t>(count), tokens.size(),
                                               ZRTS_TEMPLATE_BYTES});
        for (std::size_t i = 0; i < n; ++i) s_.templates[t][i] = static_cast<uint8_t>(ParseHex(tokens[i]));
    }

    bool StartBlock(std::string_view key, std::string_view value) {
        for (const BlockKey& block : BlockKeys()) {
            if (block.count_key != key) continue;
            int32_t groups = ParseInt(value);
            Store<int32_t>(s_, block.count_offset, std::clamp(groups, 0, block.capacity));
            if (groups > 0) {
                block_ = &block;
                groups_ = groups;
                lines_done_ = 0;
            }
            return true;
        }
        return false;
    }

    // Groups beyond the record's capacity are consumed but not stored, so
    // that their lines are not mistaken for keys.
    void ReadBlockLine(const std::vector<std::string_view>& tokens) {
        int64_t group = lines_done_ / block_->lines_per_group;
        if (group < block_->capacity && tokens.size() >= 2) {
            for (const BlockField& field : block_->fields) {
                if (field.key == tokens[0]) {
                    Store<int32_t>(s_, field.offset + static_cast<std::size_t>(group) * field.stride,
                                   ParseInt(tokens[1]));
                    break;
                }
            }
        }
        ++lines_done_;
        if (lines_done_ == groups_ * block_->lines_per_group) block_ = nullptr;
    }

    // A block cut short by the end of the file keeps only its whole groups.
    void CloseBlockAtEnd() {
        if (!block_) return;
        int64_t whole = lines_done_ / block_->lines_per_group;
        Store<int32_t>(s_, block_->count_offset,
                       static_cast<int32_t>(std::min<int64_t>(whole, block_->capacity)));
        block_ = nullptr;
    }

    // A name that does not fit the record is refused rather than cut, so
    // that no other module is loaded by mistake.
    void StoreModuleName(std::string_view value) {
        if (value.size() >= ZRTS_MODULE_NAME_BYTES) return;
        std::memset(s_.external_module_name, 0, sizeof s_.external_module_name);
        std::memcpy(s_.external_module_name, value.data(), value.size());
        s_.external_module = 1;
    }

    std::FILE* file_;
    FrameSettings& s_;
    const BlockKey* block_ = nullptr;
    int64_t groups_ = 0;
    int64_t lines_done_ = 0;
};

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

FrameSettings& GlobalSettings() {
    static FrameSettings settings{};
    return settings;
}

int32_t ReadSettingsFile(const char* path, FrameSettings& settings) {
    settings.debug_flags = 0;
    if (!path) return ZRTS_FILE_NOT_OPENED;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path, "r"));
    if (!file) return ZRTS_FILE_NOT_OPENED;
    ResetPerCallFields(settings);
    try {
        SettingsReader(file.get(), settings).Run();
    } catch (const std::bad_alloc&) {
        return ZRTS_OUT_OF_MEMORY;
    }
    return ZRTS_OK;
}

}  // namespace zrt::ff
