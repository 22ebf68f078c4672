/*
 * ZRTL5617, the scanner engine: the 25 exported functions and the records
 * they exchange with the scanning application.
 *
 * Every export returns 1 for success and 0 for failure; the reason for a
 * failure is read afterwards with GetScannerStatus. The first argument of
 * every export is a caller handle that the library accepts in any value and
 * never reads, except ReadRegister and WriteRegister, whose first argument
 * is the register number.
 *
 * All records are little-endian and packed; their sizes are fixed and
 * checked below at compile time.
 */
#ifndef ZRTL5617_H
#define ZRTL5617_H

#include <stddef.h>
#include <stdint.h>

/* The Windows standard calling convention (the callee removes the
 * arguments); elsewhere the platform's only one. */
#if defined(_WIN32)
#define ZRTL5617_CALL __stdcall
#else
#define ZRTL5617_CALL
#endif

#if defined(ZRTL5617_BUILDING)
#if defined(_WIN32)
#define ZRTL5617_API __declspec(dllexport)
#else
#define ZRTL5617_API __attribute__((visibility("default")))
#endif
#else
#if defined(_WIN32)
#define ZRTL5617_API __declspec(dllimport)
#else
#define ZRTL5617_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Any 32-bit value; the library never reads it. */
typedef uint32_t ZrtHandle;

/* Size of the buffer GetScannerAbilityXp writes into (what
 * GetScannerAbilitySize answers), and the length of the record itself. */
#define ZRTL5617_ABILITY_BUFFER_SIZE 512
#define ZRTL5617_ABILITY_RECORD_LENGTH 442

#pragma pack(push, 1)

/* One scan, as given to SetScanParameter. Positions and sizes in
 * 1/4800 inch, resolutions in dpi. */
typedef struct ScanParameters {
    uint16_t XResolution;
    uint16_t YResolution;
    uint16_t XOrigin;
    uint16_t YOrigin;
    uint16_t Width;
    uint16_t Height;
    uint8_t FilmScan;     /* 0: document glass; non-zero: film adapter area */
    uint8_t BitDepth;     /* 8 or 16 (grey), 24 or 48 (colour) */
    uint8_t reserved14;
    uint8_t UseAGData;    /* 1: apply the gains of SetAGData */
    uint8_t FilmOption;
    uint8_t reserved17[5];
} ScanParameters;

/* What GetDataStatus reports. */
typedef struct DataStatus {
    uint32_t LineBytes;   /* bytes of one delivered line */
    uint32_t LinesLeft;   /* lines still to read */
    uint32_t LineTime;
} DataStatus;

/* 22 words; words 18, 19 and 20 are the red, green and blue gains in units
 * of 1/4096 (4096 = 1.0). The other words are carried, not interpreted. */
typedef struct AGData {
    uint16_t Words[22];
} AGData;

/* Filled by InitialButton with 3, 7, 7. */
typedef struct ButtonDescription {
    uint32_t Word0;
    uint16_t Word1;
    uint16_t Word2;
} ButtonDescription;

#pragma pack(pop)

#if defined(__cplusplus)
#define ZRTL5617_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
#else
#define ZRTL5617_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

ZRTL5617_STATIC_ASSERT(sizeof(ScanParameters) == 22, "ScanParameters is 22 bytes");
ZRTL5617_STATIC_ASSERT(offsetof(ScanParameters, Height) == 10, "ScanParameters.Height at 10");
ZRTL5617_STATIC_ASSERT(offsetof(ScanParameters, FilmScan) == 12, "ScanParameters.FilmScan at 12");
ZRTL5617_STATIC_ASSERT(offsetof(ScanParameters, BitDepth) == 13, "ScanParameters.BitDepth at 13");
ZRTL5617_STATIC_ASSERT(offsetof(ScanParameters, UseAGData) == 15, "ScanParameters.UseAGData at 15");
ZRTL5617_STATIC_ASSERT(offsetof(ScanParameters, FilmOption) == 16, "ScanParameters.FilmOption at 16");
ZRTL5617_STATIC_ASSERT(sizeof(DataStatus) == 12, "DataStatus is 12 bytes");
ZRTL5617_STATIC_ASSERT(offsetof(DataStatus, LineTime) == 8, "DataStatus.LineTime at 8");
ZRTL5617_STATIC_ASSERT(sizeof(AGData) == 44, "AGData is 44 bytes");
ZRTL5617_STATIC_ASSERT(sizeof(ButtonDescription) == 8, "ButtonDescription is 8 bytes");
ZRTL5617_STATIC_ASSERT(offsetof(ButtonDescription, Word1) == 4, "ButtonDescription.Word1 at 4");
ZRTL5617_STATIC_ASSERT(ZRTL5617_ABILITY_RECORD_LENGTH <= ZRTL5617_ABILITY_BUFFER_SIZE,
                       "the ability record fits its buffer");

/* --- Device set-up and power-up ------------------------------------- */

/* Opens the scanner at `devicePath` and sets it up. */
ZRTL5617_API int32_t ZRTL5617_CALL FindScannerEx(ZrtHandle handle, const char* devicePath);
/* Powers the scanner up and finds its scan origin, once for all processes. */
ZRTL5617_API int32_t ZRTL5617_CALL InitializeScanner(ZrtHandle handle);
/* Closes the device; always 1. */
ZRTL5617_API int32_t ZRTL5617_CALL TerminateScanner(ZrtHandle handle);

/* --- Status and description ------------------------------------------ */

/* The status word of the last export that records one; always 1. */
ZRTL5617_API int32_t ZRTL5617_CALL GetScannerStatus(ZrtHandle handle, uint16_t* status);
/* 0: no document feeder; always 1. */
ZRTL5617_API int32_t ZRTL5617_CALL GetADFMode(ZrtHandle handle, uint8_t* mode);
/* 0; always 1. */
ZRTL5617_API int32_t ZRTL5617_CALL GetKelvoAPIVersion(ZrtHandle handle, uint32_t* version);
/* The buffer size GetScannerAbilityXp needs (512); always 1. */
ZRTL5617_API int32_t ZRTL5617_CALL GetScannerAbilitySize(ZrtHandle handle, uint16_t* size);
/* Writes the ability record (442 bytes) into a buffer of at least
 * ZRTL5617_ABILITY_BUFFER_SIZE bytes; always 1. */
ZRTL5617_API int32_t ZRTL5617_CALL GetScannerAbilityXp(ZrtHandle handle, uint8_t* buffer);
/* Whether the film adapter is connected. */
ZRTL5617_API int32_t ZRTL5617_CALL GetTPUMode(ZrtHandle handle, uint8_t* mode);

/* --- Lamps, buttons, tests, gamma ------------------------------------ */

/* Selects the light source (low 8 bits of `lamp`). */
ZRTL5617_API int32_t ZRTL5617_CALL SetLamp(ZrtHandle handle, int32_t lamp);
/* Describes the push buttons; always 1. */
ZRTL5617_API int32_t ZRTL5617_CALL InitialButton(ZrtHandle handle, ButtonDescription* description);
/* report[0] = 0x80 while a button is pressed, report[1] its bit; always 1
 * (a failed read shows only in GetScannerStatus). */
ZRTL5617_API int32_t ZRTL5617_CALL ReadPushButton(ZrtHandle handle, uint8_t report[2]);
/* Runs the self test `type`; the three further arguments are not read. */
ZRTL5617_API int32_t ZRTL5617_CALL TestScanner(ZrtHandle handle, int32_t type, int32_t unused1,
                                               int32_t unused2, int32_t unused3);
/* Loads a gamma table. `table` is trusted to hold 65536 entries for the
 * table types that copy one; the library cannot check its length. The last
 * argument is not read. */
ZRTL5617_API int32_t ZRTL5617_CALL SetGamma(ZrtHandle handle, const uint16_t* table, int32_t type,
                                            int32_t unused);

/* --- Scanning --------------------------------------------------------- */

ZRTL5617_API int32_t ZRTL5617_CALL SetScanParameter(ZrtHandle handle, const ScanParameters* parameters);
/* Stores the AG data (gains) for the next SetScanParameter; always 1. */
ZRTL5617_API int32_t ZRTL5617_CALL SetAGData(ZrtHandle handle, const AGData* data);
/* Writes the default AG data record (words 0-20); always 1. */
ZRTL5617_API int32_t ZRTL5617_CALL GetAGData(ZrtHandle handle, AGData* data);
/* Line size, lines left and line time of the scan set up; always 1. */
ZRTL5617_API int32_t ZRTL5617_CALL GetDataStatus(ZrtHandle handle, DataStatus* status);
/* Whether a calibration is needed for the scan set up. */
ZRTL5617_API int32_t ZRTL5617_CALL GetCalibrationStatus(ZrtHandle handle, uint8_t* status);
ZRTL5617_API int32_t ZRTL5617_CALL DoCalibration(ZrtHandle handle, int32_t type, int32_t mode,
                                                 int32_t resolution);
/* The argument after the handle is not read. */
ZRTL5617_API int32_t ZRTL5617_CALL StartScanEx(ZrtHandle handle, int32_t unused);
/* Delivers `byteCount` bytes, a whole number of lines; the int after the
 * handle is not read. */
ZRTL5617_API int32_t ZRTL5617_CALL ReadScan(ZrtHandle handle, int32_t unused, uint8_t* data,
                                            uint32_t byteCount);
ZRTL5617_API int32_t ZRTL5617_CALL StopScanEx(ZrtHandle handle, int32_t mode);

/* --- Direct register access ------------------------------------------ */

/* Reads controller register `reg` (low 8 bits); 0 when the device is closed
 * or the read fails. No lock, no status. */
ZRTL5617_API int32_t ZRTL5617_CALL ReadRegister(int32_t reg, uint8_t* value);
/* Writes the low 8 bits of `value` to controller register `reg`; 0 when the
 * device is closed or the write fails. No lock, no status. */
ZRTL5617_API int32_t ZRTL5617_CALL WriteRegister(int32_t reg, int32_t value);

#ifdef __cplusplus
}
#endif

#endif /* ZRTL5617_H */
