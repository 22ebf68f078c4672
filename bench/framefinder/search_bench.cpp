// VORN2_SearchOnPreview on a 300 dpi preview of one 35 mm strip, beside five
// plain passes over the same bytes.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <numeric>
#include <string>

#include "framefinder/frames.h"
#include "framefinder/pixel_stats.h"
#include "framefinder/settings.h"
#include "preview_generator.h"
#include "zrts5617.h"

namespace {

const fftest::Geometry kGeometry{300 / 25.4, 40, 260};  // 472 x 3071 pixels

struct Fixture {
    fftest::Layout layout = fftest::Make35mmStrips(kGeometry, fftest::Film::Negative, 1);
    fftest::TempDir dir;
    Fixture() {
        std::string path = dir.File("bench.txt");
        fftest::WriteTextFile(path, fftest::SettingsText(kGeometry));
        VORN2_Initialize(path.c_str());
    }
};

Fixture& Shared() {
    static Fixture f;
    return f;
}

void BM_FivePlainPasses(benchmark::State& state) {
    const fftest::Preview& p = Shared().layout.preview;
    std::size_t n = static_cast<std::size_t>(p.stride()) * p.height();
    for (auto _ : state) {
        uint64_t sum = 0;
        for (int pass = 0; pass < 5; ++pass) {
            sum = std::accumulate(p.data(), p.data() + n, sum);
            benchmark::ClobberMemory();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * 5 * n));
}
BENCHMARK(BM_FivePlainPasses)->Unit(benchmark::kMillisecond);

void BM_SearchOnPreview(benchmark::State& state) {
    const fftest::Preview& p = Shared().layout.preview;
    VORN2_IMAGE_INFO info = p.Info();
    VORN2_SEARCH_RESULT result{};
    for (auto _ : state) {
        int32_t rc = VORN2_SearchOnPreview(&info, p.data(), &result, 3);
        benchmark::DoNotOptimize(rc);
    }
    state.counters["frames"] = result.count;
}
BENCHMARK(BM_SearchOnPreview)->Unit(benchmark::kMillisecond);

void BM_MinLuminanceRows(benchmark::State& state) {
    const fftest::Preview& p = Shared().layout.preview;
    TIFF image = p.Tiff();
    for (auto _ : state) {
        uint32_t acc = 0;
        for (int32_t y = 0; y < p.height(); ++y)
            acc += zrt::ff::MinLuminance(image, p.data(), {0, y, p.width(), y + 1});
        benchmark::DoNotOptimize(acc);
    }
}
BENCHMARK(BM_MinLuminanceRows)->Unit(benchmark::kMillisecond);

void BM_DividerProfiles(benchmark::State& state) {
    const fftest::Preview& p = Shared().layout.preview;
    TIFF image = p.Tiff();
    FrameRect area{0, 0, p.width(), p.height()};
    for (auto _ : state) {
        auto pos = zrt::ff::BuildDividerProfile(image, p.data(), area, zrt::ff::kPositive);
        auto neg = zrt::ff::BuildDividerProfile(image, p.data(), area, zrt::ff::kNegative);
        benchmark::DoNotOptimize(pos.data());
        benchmark::DoNotOptimize(neg.data());
    }
}
BENCHMARK(BM_DividerProfiles)->Unit(benchmark::kMillisecond);

}  // namespace
