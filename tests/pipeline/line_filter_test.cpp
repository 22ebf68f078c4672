#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "engine/pipeline/line_filter.h"

namespace zrt {
namespace {

using Line = std::vector<uint8_t>;

TEST(LineFilter, ThreeLineScanSmoothsOnlyTheMiddleLine) {
    LineFilter filter(5, 0, 3, 8, 0x14);
    Line a{10, 20, 30, 40, 50}, b{0, 100, 0, 100, 0}, c{1, 2, 3, 4, 5}, out(5);
    filter.Push(a.data());
    filter.Push(b.data());  // the first output line is `a` as taken
    filter.Push(c.data());
    filter.Emit(out.data());
    // (4 x centre + above + below + left + right) / 8, rounded half up.
    EXPECT_EQ(out, (Line{0, 53, 29, 56, 0}));
    Line zero(5, 0);
    filter.Push(zero.data());
    filter.Emit(out.data());  // the last line is not smoothed
    EXPECT_EQ(out, c);
}

TEST(LineFilter, OneLineModeSmoothsAlongTheLine) {
    LineFilter filter(5, 0, 1, 8, 0x01);
    Line line{0, 9, 0, 9, 0}, out(5);
    filter.Push(line.data());
    filter.Emit(out.data());
    EXPECT_EQ(out, (Line{0, 3, 6, 3, 0}));
}

TEST(LineFilter, PadSamplesAndPlaneEdgesStayAsTheyAre) {
    // Three planes of 4 valid and 2 pad bytes: only samples 1 and 2 of each
    // plane are smoothed.
    LineFilter filter(18, 6, 1, 24, 0x01);
    Line line(18, 90), out(18);
    for (int p = 0; p < 3; ++p) line[p * 6 + 1] = 0;
    filter.Push(line.data());
    filter.Emit(out.data());
    for (int p = 0; p < 3; ++p) {
        SCOPED_TRACE(p);
        EXPECT_EQ(out[p * 6 + 0], 90);
        EXPECT_EQ(out[p * 6 + 1], 60);  // (0 + 90 + 90) / 3
        EXPECT_EQ(out[p * 6 + 2], 60);  // (90 + 0 + 90) / 3
        EXPECT_EQ(out[p * 6 + 3], 90);
        EXPECT_EQ(out[p * 6 + 4], 90);
        EXPECT_EQ(out[p * 6 + 5], 90);
    }
}

// The filter as written down: slot copies and double-precision means.
class ReferenceFilter {
public:
    ReferenceFilter(uint32_t length, uint32_t extra, uint32_t count, uint8_t kind, uint8_t strength)
        : slots_(3, Line(length)), length_(length), extra_(extra), count_(count), kind_(kind), strength_(strength) {}

    void Push(const Line& line) {
        if (!(strength_ & 0xF0)) {
            slots_[0] = line;
        } else if (held_ == 3) {
            slots_[0] = slots_[1];
            slots_[1] = slots_[2];
            slots_[2] = line;
        } else {
            slots_[held_++] = line;
        }
    }

    Line Emit() {
        Smooth();
        ++index_;
        return (strength_ & 0xF0) ? slots_[1] : slots_[0];
    }

private:
    template <class T>
    static double At(const Line& l, int64_t i) {
        T v;
        std::memcpy(&v, l.data() + i * sizeof(T), sizeof(T));
        return v;
    }
    template <class T>
    static void Put(Line& l, int64_t i, double x) {
        double r = std::trunc(x);
        T v = static_cast<T>(x - r >= 0.5 ? r + 1 : r);
        std::memcpy(l.data() + i * sizeof(T), &v, sizeof(T));
    }
    template <class T>
    void SmoothPlanes(int planes, int divisor) {
        bool three = strength_ & 0xF0;
        const Line& cur = three ? slots_[1] : slots_[0];
        Line work = cur;
        double w = strength_ & 0x0F;
        for (int p = 0; p < planes; ++p) {
            for (int64_t i = int64_t(p) * length_ / divisor + 1; i < (int64_t(p + 1) * length_ - extra_) / divisor - 1; ++i) {
                double sum = w * At<T>(cur, i) + At<T>(cur, i - 1) + At<T>(cur, i + 1);
                if (three) sum += At<T>(slots_[0], i) + At<T>(slots_[2], i);
                Put<T>(work, i, sum / (w + (three ? 4 : 2)));
            }
        }
        (three ? slots_[1] : slots_[0]) = work;
    }
    void Smooth() {
        if ((strength_ & 0x0F) == 0) return;
        if ((strength_ & 0xF0) && (held_ < 3 || index_ == count_ - 1)) return;
        if (kind_ == 8) SmoothPlanes<uint8_t>(1, 1);
        if (kind_ == 24) SmoothPlanes<uint8_t>(3, 3);
        if (kind_ == 48) SmoothPlanes<uint16_t>(3, 6);
        if (kind_ == 64) SmoothPlanes<uint16_t>(3, 8);
    }

    std::vector<Line> slots_;
    uint32_t length_, extra_, count_;
    uint8_t kind_, strength_;
    uint32_t held_ = 0, index_ = 1;
};

struct FilterCase {
    uint8_t kind;
    uint8_t strength;
    uint32_t length;
    uint32_t extra;
};

// Whole scans of random lines, in the order the line assembly drives the
// filter, must match the double-precision filter sample for sample.
TEST(LineFilter, MatchesTheDoublePrecisionFilterOverWholeScans) {
    const FilterCase cases[] = {
        {8, 0x14, 64, 0},   {8, 0x01, 61, 3},    {24, 0x14, 96, 6},  {24, 0x1F, 99, 0},
        {24, 0x01, 90, 9},  {48, 0x13, 192, 12}, {64, 0x16, 256, 16}, {64, 0x06, 256, 0},
        {16, 0x14, 64, 0},  {24, 0x10, 48, 0},
    };
    std::mt19937 random(5617);
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "kind " << int(c.kind) << " strength " << int(c.strength));
        const uint32_t count = 7;
        LineFilter filter(c.length, c.extra, count, c.kind, c.strength);
        ReferenceFilter reference(c.length, c.extra, count, c.kind, c.strength);
        std::vector<Line> raw(count, Line(c.length));
        for (auto& line : raw)
            for (auto& b : line) b = static_cast<uint8_t>(random());
        Line out(c.length);
        uint32_t next = 0;
        for (uint32_t produced = 0; produced < count; ++produced) {
            if (!filter.threeLine()) {
                filter.Push(raw[next].data());
                reference.Push(raw[next++]);
                filter.Emit(out.data());
                ASSERT_EQ(out, reference.Emit());
            } else if (produced == 0) {
                filter.Push(raw[0].data());
                filter.Push(raw[1].data());
                reference.Push(raw[0]);
                reference.Push(raw[1]);
                next = 2;
            } else if (produced == count - 1) {
                Line zero(c.length, 0);
                filter.Push(zero.data());
                reference.Push(zero);
                filter.Emit(out.data());
                ASSERT_EQ(out, reference.Emit());
            } else {
                filter.Push(raw[next].data());
                reference.Push(raw[next++]);
                filter.Emit(out.data());
                ASSERT_EQ(out, reference.Emit());
            }
        }
    }
}

// Every numerator the 16-bit kinds can produce is divided exactly.
TEST(LineFilter, RoundsHalfUpLikeTheDoubleFormulaAtExtremes) {
    for (uint8_t strength : {uint8_t{0x1F}, uint8_t{0x0F}}) {
        LineFilter filter(16, 0, 3, 48, strength);
        Line a(16), b(16), c(16), out(16);
        for (int i = 0; i < 8; ++i) {
            uint16_t va = 65535, vb = static_cast<uint16_t>(65535 - i), vc = static_cast<uint16_t>(i * 9000);
            std::memcpy(&a[2 * i], &va, 2);
            std::memcpy(&b[2 * i], &vb, 2);
            std::memcpy(&c[2 * i], &vc, 2);
        }
        ReferenceFilter reference(16, 0, 3, 48, strength);
        filter.Push(a.data());
        reference.Push(a);
        if (filter.threeLine()) {
            filter.Push(b.data());
            reference.Push(b);
            filter.Push(c.data());
            reference.Push(c);
        }
        filter.Emit(out.data());
        EXPECT_EQ(out, reference.Emit());
    }
}

}  // namespace
}  // namespace zrt
