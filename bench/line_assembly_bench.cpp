// Line assembly from the ring into the caller's buffer, filtered and
// unfiltered, beside a plain memcpy of the same output bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "engine/api/scanner_engine.h"
#include "engine/pipeline/line_assembly.h"
#include "engine/pipeline/line_filter.h"
#include "engine/pipeline/scan_ring.h"
#include "engine/pipeline/scan_state.h"

namespace zrt {
namespace {

constexpr uint32_t kDocumentUnits = 40832;
constexpr uint32_t kBatchBytes = 1 << 20;  // output bytes per timed batch

struct Scan {
    std::unique_ptr<ScannerEngine> engine = std::make_unique<ScannerEngine>();
    std::vector<uint8_t> rawLine;
    std::vector<uint8_t> out;
    uint32_t linesPerBatch = 0;
    uint32_t outputLineBytes = 0;
};

// A document scan (or, for a filtered 48-bit line, a three-channel film
// scan, the only 48-bit lines that are smoothed) across the whole bed.
std::unique_ptr<Scan> MakeScan(uint8_t depth, uint16_t dpi, bool filtered) {
    auto scan = std::make_unique<Scan>();
    ScannerEngine& e = *scan->engine;
    bool wide = depth == 48;
    uint8_t channels = depth == 8 ? 1 : 3;
    e.config.Source = wide && filtered ? 4 : 1;
    e.config.Depth = depth;
    e.config.Channels = channels;
    e.config.UseAG = 1;
    e.config.XRes = dpi;
    uint32_t pixels = kDocumentUnits * dpi / 4800;
    uint32_t sampleBytes = wide ? 2 : 1;
    e.progress.RawLineBytes = pixels * channels * sampleBytes;
    e.progress.RawLineExtra = 16 * channels * sampleBytes;
    e.progress.RawLinesLeft = 0xFFFFFFFF;
    uint32_t length = e.progress.RawLineBytes + e.progress.RawLineExtra;
    e.scan.Ring = std::make_unique<ScanRing>();
    if (filtered) {
        e.scan.Filter = std::make_unique<LineFilter>(length, e.progress.RawLineExtra, 0xFFFFFFFF,
                                                     wide ? 48 : depth, wide ? 0x16 : 0x14);
    }
    e.progress.ReaderThread = std::make_unique<ReaderHandle>();
    for (auto& slot : e.gamma.slot) {
        slot.resize(65536);
        for (uint32_t v = 0; v < 65536; ++v) slot[v] = static_cast<uint16_t>(65535 - v);
    }
    scan->rawLine.resize(length);
    for (size_t i = 0; i < length; ++i) scan->rawLine[i] = static_cast<uint8_t>(i * 31 + 7);
    scan->outputLineBytes = OutputLineBytes(e);
    scan->linesPerBatch = kBatchBytes / scan->outputLineBytes + 1;
    scan->out.resize(size_t{scan->linesPerBatch} * scan->outputLineBytes);
    return scan;
}

void BM_AssembleLines(benchmark::State& state) {
    auto depth = static_cast<uint8_t>(state.range(0));
    auto dpi = static_cast<uint16_t>(state.range(1));
    bool filtered = state.range(2) != 0;
    auto scan = MakeScan(depth, dpi, filtered);
    ScannerEngine& e = *scan->engine;
    uint32_t length = static_cast<uint32_t>(scan->rawLine.size());
    for (auto _ : state) {
        state.PauseTiming();
        for (uint32_t i = 0; i < scan->linesPerBatch + 1; ++i) {
            if (e.scan.Ring->FreeSpace() >= length) e.scan.Ring->Put(scan->rawLine.data(), length);
        }
        state.ResumeTiming();
        for (uint32_t i = 0; i < scan->linesPerBatch; ++i) {
            if (!AssembleLine(e, scan->out.data() + size_t{i} * scan->outputLineBytes)) {
                state.SkipWithError("line failed");
                return;
            }
        }
        benchmark::DoNotOptimize(scan->out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * scan->out.size());
    e.progress.ReaderThread->ExitCode = 1;
}

void BM_MemcpySameBytes(benchmark::State& state) {
    auto scan = MakeScan(static_cast<uint8_t>(state.range(0)), static_cast<uint16_t>(state.range(1)), false);
    std::vector<uint8_t> src(scan->out.size(), 0x5A);
    for (auto _ : state) {
        std::memcpy(scan->out.data(), src.data(), src.size());
        benchmark::DoNotOptimize(scan->out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * src.size());
}

void Shapes(benchmark::internal::Benchmark* b, bool withFilter) {
    for (int depth : {8, 24, 48})
        for (int dpi : {600, 4800})
            for (int filtered : {0, 1})
                if (withFilter || filtered == 0) b->Args({depth, dpi, filtered});
}

BENCHMARK(BM_AssembleLines)->Apply([](auto* b) { Shapes(b, true); })->ArgNames({"depth", "dpi", "filtered"});
BENCHMARK(BM_MemcpySameBytes)->Apply([](auto* b) { Shapes(b, false); })->ArgNames({"depth", "dpi", "filtered"});

}  // namespace
}  // namespace zrt
