#include "engine/transport/usb_paths.h"

#include <charconv>

namespace zrt {
namespace {

// A decimal number of 1 to 3 digits between 1 and 255, the whole of `text`.
std::optional<uint8_t> ParseByte(std::string_view text) {
    if (text.empty() || text.size() > 3) return std::nullopt;
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 255)
        return std::nullopt;
    return static_cast<uint8_t>(value);
}

std::optional<UsbDeviceSelector> ParsePair(std::string_view rest, char separator) {
    const size_t split = rest.find(separator);
    if (split == std::string_view::npos) return std::nullopt;
    const auto bus = ParseByte(rest.substr(0, split));
    const auto address = ParseByte(rest.substr(split + 1));
    if (!bus || !address) return std::nullopt;
    return UsbDeviceSelector{false, *bus, *address};
}

}  // namespace

std::optional<UsbDeviceSelector> ParseUsbDevicePath(const std::string& path) {
    constexpr std::string_view kDevPrefix = "/dev/bus/usb/";
    const std::string_view text = path;
    if (text == "usb") return UsbDeviceSelector{};
    if (text.substr(0, 4) == "usb:") return ParsePair(text.substr(4), ':');
    if (text.substr(0, kDevPrefix.size()) == kDevPrefix) return ParsePair(text.substr(kDevPrefix.size()), '/');
    return std::nullopt;
}

}  // namespace zrt
