#include <algorithm>
#include <cmath>
#include <functional>

#include "framefinder/frames.h"

namespace zrt::ff {
namespace {

// The level dividers are measured against: the largest profile value that
// is not an isolated peak standing 100 or more above the next value.
double ReferenceLevel(const std::vector<uint16_t>& profile, const FrameRect& area) {
    std::vector<uint16_t> s(profile.begin() + area.top, profile.begin() + area.bottom);
    std::sort(s.begin(), s.end(), std::greater<>());
    std::size_t n = s.size();
    if (n == 0) return 1;
    double r = s[0];  // no pair within 100 in a short area: its largest value
    std::size_t i = 0;
    while (i + 1 < n && s[i] - s[i + 1] >= 100) ++i;
    bool found = i + 1 < n;
    if (found) r = s[i];
    if ((found && i > 100) || (!found && n > 100)) r = s[5];
    return r == 0 ? 1 : r;
}

}  // namespace

std::vector<uint16_t> BuildDividerProfile(const TIFF& image, const uint8_t* pixels,
                                          const FrameRect& area, Polarity polarity) {
    std::vector<uint16_t> profile(static_cast<std::size_t>(std::max(image.height, 0)), 0);
    int32_t first = std::max(area.top, 0);
    int32_t last = std::min(area.bottom, image.height);
    for (int32_t y = first; y < last; ++y) {
        Box row{area.left, y, area.right, y + 1};
        profile[static_cast<std::size_t>(y)] = polarity == kPositive
                                                   ? Density(MaxLuminance(image, pixels, row))
                                                   : MinLuminance(image, pixels, row);
    }
    return profile;
}

// Row 0 doubles as "no run open", as in the stored profiles this replaces.
DividerRuns FindDividerRuns(const TIFF& image, const std::vector<uint16_t>& profile,
                            const FrameRect& area, double th1, double th2) {
    DividerRuns runs;
    runs.emplace_back(0, area.top);
    if (area.top >= 0 && area.bottom <= static_cast<int32_t>(profile.size()) &&
        area.top < area.bottom) {
        double r = ReferenceLevel(profile, area);
        double level = std::trunc(r * th1);
        int32_t open = profile[static_cast<std::size_t>(area.top)] > level ? area.top : 0;
        uint16_t peak = 0;
        for (int32_t y = area.top; y <= area.bottom - 2; ++y) {
            uint16_t v = profile[static_cast<std::size_t>(y)];
            if (open != 0 && v <= level) {
                if (peak / r > th2 && y - open > 1 && runs.size() < kMaxDividerRuns - 1)
                    runs.emplace_back(open, y);
                open = 0;
            }
            if (open == 0 && v > level) {
                open = y;
                peak = 0;
            }
            if (open != 0 && v > peak) peak = v;
        }
        if (open != 0 && peak / r > th2 && runs.size() < kMaxDividerRuns - 1)
            runs.emplace_back(open, area.bottom - 1);
    }
    runs.emplace_back(area.bottom, image.height - 1);
    return runs;
}

}  // namespace zrt::ff
