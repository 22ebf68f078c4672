/* A Windows application's view of the two DLLs: load them, resolve every
 * export by name and by ordinal, and run a short session on the virtual
 * scanner. Exit code 0 when everything held. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "zrtl5617.h"
/* zrts5617.h is left out: its FrameRect record and the window API of the
 * same name cannot share one translation unit. */

static const char* const kEngineExports[25] = {
    "DoCalibration", "FindScannerEx", "GetADFMode", "GetAGData", "GetCalibrationStatus",
    "GetKelvoAPIVersion", "GetDataStatus", "GetScannerAbilitySize", "GetScannerAbilityXp",
    "GetScannerStatus", "GetTPUMode", "InitialButton", "InitializeScanner", "ReadPushButton",
    "ReadScan", "SetAGData", "SetGamma", "SetLamp", "SetScanParameter", "StartScanEx",
    "StopScanEx", "TerminateScanner", "TestScanner", "ReadRegister", "WriteRegister"};

static int failures = 0;
#define CHECK(cond, what)                                   \
    do {                                                    \
        if (!(cond)) {                                      \
            fprintf(stderr, "client: FAILED %s\n", what);   \
            ++failures;                                     \
        }                                                   \
    } while (0)

static void CheckExports(HMODULE module, const char* const* names, int count) {
    for (int i = 0; i < count; ++i) {
        FARPROC byName = GetProcAddress(module, names[i]);
        FARPROC byOrdinal = GetProcAddress(module, MAKEINTRESOURCEA(i + 1));
        CHECK(byName != NULL, names[i]);
        CHECK(byName == byOrdinal, names[i]);
    }
}

typedef int32_t(__stdcall* FindFn)(ZrtHandle, const char*);
typedef int32_t(__stdcall* VoidFn)(ZrtHandle);
typedef int32_t(__stdcall* IntFn)(ZrtHandle, int32_t);
typedef int32_t(__stdcall* StatusFn)(ZrtHandle, uint16_t*);
typedef int32_t(__stdcall* ParamFn)(ZrtHandle, const ScanParameters*);
typedef int32_t(__stdcall* DataStatusFn)(ZrtHandle, DataStatus*);
typedef int32_t(__stdcall* CalStatusFn)(ZrtHandle, uint8_t*);
typedef int32_t(__stdcall* CalFn)(ZrtHandle, int32_t, int32_t, int32_t);
typedef int32_t(__stdcall* ReadFn)(ZrtHandle, int32_t, uint8_t*, uint32_t);
typedef int32_t(__stdcall* InitFn)(const char*);

static void Report(HMODULE engine, const char* step) {
    uint16_t status = 0;
    ((StatusFn)GetProcAddress(engine, "GetScannerStatus"))(0, &status);
    fprintf(stderr, "client: %s failed with status 0x%04X\n", step, status);
    ++failures;
}

static void ShortScan(HMODULE engine) {
    if (!((FindFn)GetProcAddress(engine, "FindScannerEx"))(0, "sim")) return Report(engine, "FindScannerEx");
    if (!((VoidFn)GetProcAddress(engine, "InitializeScanner"))(0)) return Report(engine, "InitializeScanner");
    if (!((IntFn)GetProcAddress(engine, "SetLamp"))(0, 1)) return Report(engine, "SetLamp");
    ScanParameters p;
    memset(&p, 0, sizeof p);
    p.XResolution = p.YResolution = 150;
    p.Width = 4800;
    p.Height = 960;
    p.BitDepth = 24;
    if (!((ParamFn)GetProcAddress(engine, "SetScanParameter"))(0, &p)) return Report(engine, "SetScanParameter");
    uint8_t cal = 0;
    ((CalStatusFn)GetProcAddress(engine, "GetCalibrationStatus"))(0, &cal);
    if (cal != 0 && !((CalFn)GetProcAddress(engine, "DoCalibration"))(0, 0, 3, 0))
        return Report(engine, "DoCalibration");
    if (!((IntFn)GetProcAddress(engine, "StartScanEx"))(0, 0)) return Report(engine, "StartScanEx");
    DataStatus ds;
    ((DataStatusFn)GetProcAddress(engine, "GetDataStatus"))(0, &ds);
    CHECK(ds.LineBytes == 450 && ds.LinesLeft == 30, "line geometry");
    uint8_t* line = (uint8_t*)malloc(ds.LineBytes);
    uint32_t lines = ds.LinesLeft;
    for (uint32_t i = 0; i < lines; ++i)
        if (!((ReadFn)GetProcAddress(engine, "ReadScan"))(0, 0, line, ds.LineBytes)) {
            Report(engine, "ReadScan");
            break;
        }
    free(line);
    if (!((IntFn)GetProcAddress(engine, "StopScanEx"))(0, 0)) Report(engine, "StopScanEx");
    ((VoidFn)GetProcAddress(engine, "TerminateScanner"))(0);
}

int main(void) {
    HMODULE engine = LoadLibraryA("ZRTL5617.dll");
    HMODULE finder = LoadLibraryA("ZRTS5617.dll");
    CHECK(engine != NULL, "LoadLibraryA ZRTL5617.dll");
    CHECK(finder != NULL, "LoadLibraryA ZRTS5617.dll");
    if (!engine || !finder) return 1;
    CheckExports(engine, kEngineExports, 25);
    static const char* const kFinderExports[4] = {"VORN2_Initialize", "VORN2_SearchOnPreview", "GetLargeFormat",
                                                  "GetSleeveFilmGuideCIS"};
    CheckExports(finder, kFinderExports, 4);
    ShortScan(engine);
    CHECK(((InitFn)GetProcAddress(finder, "VORN2_Initialize"))("no-such-settings.txt") == 1,
          "VORN2_Initialize of a missing file answers 1");
    FreeLibrary(finder);
    FreeLibrary(engine);
    printf("client: %s\n", failures ? "FAILED" : "all checks passed");
    return failures ? 1 : 0;
}
