// Motor timing of a controller job: the lookup from source, bus speed,
// depth, channels and vertical resolution to a MotorTiming record, and the
// writes of that record into the timing registers and the five motor
// acceleration tables.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/api/status_codes.h"

namespace zrt {

struct ScannerEngine;

// One motor acceleration table.
struct RampSpec {
    uint16_t len = 0;          // 16-bit entries in the table
    uint16_t flat = 0;         // leading entries holding startPeriod
    uint32_t startPeriod = 0;  // slowest step period, at the start
    uint32_t endPeriod = 0;    // fastest step period, at the end
};

struct MotorTiming {
    uint8_t shift = 0;       // register 0x18; table entries are periods >> shift
    uint8_t ctl10Bit1 = 0;   // register 0x10 bit 1
    std::array<uint8_t, 16> profile1{};  // registers 0x23-0x32
    std::array<uint8_t, 16> profile2{};  // registers 0x33-0x42
    uint8_t caField0 = 0;    // register 0xCA bits 1..0
    uint8_t caField1 = 0;    // register 0xCA bits 3..2
    uint8_t caField2 = 0;    // register 0xCA bits 5..4
    uint8_t reg14 = 0;
    uint8_t reg15 = 0;
    uint8_t reg17 = 0;       // register 0x17 receives half of it
    std::array<RampSpec, 5> ramp{};  // motor tables 0-4
};

// Pure apart from the line period, which may read ExposureMultiplier.
MotorTiming LookupScanTiming(const ScannerEngine& engine, uint8_t source, uint8_t busSpeed,
                             uint8_t depth, uint8_t channels, uint16_t yDpi);

// The lookup as ProgramScan runs it for a scan kind: kinds 7 and 8 look up
// with depth 16, kind 4 rescales table 0 and fixes the ramp lengths, kinds
// 5, 9 and 15 shorten tables 0, 1 and 3 to 6 entries.
MotorTiming LookupScanTimingForKind(const ScannerEngine& engine, uint8_t kind, uint8_t source,
                                    uint8_t busSpeed, uint8_t depth, uint8_t channels,
                                    uint16_t xDpi, uint16_t yDpi);

// Number of halvings that bring `period` to 0xFFFF or below.
uint8_t MotorTableShift(uint32_t period);

// The entries of one motor table (step speed rising linearly from
// 1/startPeriod at entry `flat` to 1/endPeriod at the last entry).
std::vector<uint16_t> ComputeMotorTable(const RampSpec& ramp, uint8_t shift);

// Writes the timing registers and the five motor tables. `lineCount` is
// lines x channels. The first failing register write in the reported
// steps gives its status; profile, 0xCA and table failures are not reported.
StatusCode WriteScanTiming(ScannerEngine& engine, int32_t feedSteps, uint32_t lineCount,
                           uint8_t reverse, uint8_t homeStop, uint8_t ctl11Bit1, uint8_t ctl11Bit6,
                           const MotorTiming& timing);

// Computes table `i` (0-4) and writes it to MotorTableAddress[i]; false when
// the table could not be built or written.
bool BuildMotorTable(ScannerEngine& engine, unsigned i, const RampSpec& ramp, uint8_t shift);

}  // namespace zrt
