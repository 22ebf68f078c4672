// The 16-bit result of every engine operation: 0 is success, every other
// value names the one step that failed. No value outside this table is ever
// produced.
#pragma once

#include <cstdint>

namespace zrt {

using StatusCode = uint16_t;

namespace status {
// API and transport
inline constexpr StatusCode Ok = 0x0000;
inline constexpr StatusCode NoScanActive = 0x0001;
inline constexpr StatusCode OpenFailed = 0x0101;
inline constexpr StatusCode DeviceActive = 0x9601;
inline constexpr StatusCode ByteCountNotWholeLines = 0x9701;
// Device set-up and power-up
inline constexpr StatusCode ResetControllerFailed = 0x9B01;
inline constexpr StatusCode InitControlLinesFailed = 0x9B02;
inline constexpr StatusCode EnableMemoryFailed = 0x9B03;
inline constexpr StatusCode InitAuxRegistersFailed = 0x9B05;
inline constexpr StatusCode InitIndirectRegistersFailed = 0x9B06;
inline constexpr StatusCode EngineBuffersFailed = 0x9807;
inline constexpr StatusCode Register60Failed = 0x9B08;
// Status reads, lamps and film adapter
inline constexpr StatusCode StatusRegisterReadFailed = 0x9B0D;
inline constexpr StatusCode FilmAdapterFirstReadFailed = 0x9B0E;
inline constexpr StatusCode FilmAdapterLaterReadFailed = 0x9B0F;
inline constexpr StatusCode FilmAdapterUnstable = 0x9B10;
inline constexpr StatusCode NoFilmAdapterForFilmSource = 0x6B01;
inline constexpr StatusCode NoFilmAdapterForGuideCheck = 0xA601;
inline constexpr StatusCode FilmGuideNotFound = 0xA600;
inline constexpr StatusCode FilmGuideFound = 0xA700;
// Push buttons and self tests
inline constexpr StatusCode PushButtonReadFailed = 0x9B0C;
inline constexpr StatusCode SensorTestFirstBufferFailed = 0x980C;
inline constexpr StatusCode SensorTestSecondBufferFailed = 0x980D;
inline constexpr StatusCode SensorTestTooDark = 0x0A01;
inline constexpr StatusCode SensorTestDarkTooBright = 0x0A02;
// Carriage, film adapter motor and memory scans
inline constexpr StatusCode HomeSensorBeforeMoveFailed = 0x9B11;
inline constexpr StatusCode HomeSensorAfterMoveFailed = 0x9B12;
inline constexpr StatusCode NotAtHomeAfterMove = 0x9B13;
inline constexpr StatusCode MotionEndSet80Failed = 0x9B14;
inline constexpr StatusCode MotionEndClear11Failed = 0x9B15;
inline constexpr StatusCode HomeVerifyFirstReadFailed = 0x9B17;
inline constexpr StatusCode HomeVerifySecondReadFailed = 0x9B18;
inline constexpr StatusCode MemoryScanReadFailed = 0x9B19;
inline constexpr StatusCode MotionTimeout = 0x9B1A;
inline constexpr StatusCode HomeSensorWrongState = 0x9B1B;
inline constexpr StatusCode MemoryScanCountFailed = 0x9B1D;
inline constexpr StatusCode MemoryScanSetLine6Failed = 0x9B5F;
inline constexpr StatusCode MemoryScanPrepareFailed = 0x9B60;
inline constexpr StatusCode MemoryScanClearLine6Failed = 0x9B61;
inline constexpr StatusCode ControllerIdleTimeout = 0x9B62;
inline constexpr StatusCode MemoryScanSet80Failed = 0x9B63;
inline constexpr StatusCode OutOfMemory = 0x9801;
inline constexpr StatusCode MemoryScanBufferFailed = 0x9802;
inline constexpr StatusCode OriginNotFound = 0xB300;
inline constexpr StatusCode FilmLampTooDark = 0xB601;
inline constexpr StatusCode FilmAdapterNotReady = 0x6B02;
inline constexpr StatusCode FilmMotorC0Bit0Failed = 0x9B64;
inline constexpr StatusCode FilmMotorC2Failed = 0x9B65;
inline constexpr StatusCode FilmMotorC0Bit1Failed = 0x9B66;
inline constexpr StatusCode FilmMotorC0Bit2Failed = 0x9B67;
inline constexpr StatusCode FilmMotorC1Failed = 0x9B68;
inline constexpr StatusCode FilmMotorC3Bit6Failed = 0x9B69;
inline constexpr StatusCode FilmMotorC4C5Failed = 0x9B6A;
inline constexpr StatusCode FilmMotorC3Bit5SetFailed = 0x9B6B;
inline constexpr StatusCode FilmMotorC3Bit5ClearFailed = 0x9B6C;
inline constexpr StatusCode FilmMotorC7Bit7Failed = 0x9B6D;
inline constexpr StatusCode FilmMotorC3Bit7Failed = 0x9B6E;
inline constexpr StatusCode FilmMotorDirectionFailed = 0x9B6F;
inline constexpr StatusCode FilmMotorPositionReadFailed = 0x9B70;
inline constexpr StatusCode FilmMotorDidNotMove = 0x9B71;
inline constexpr StatusCode FilmMotorHomeReadFailed = 0x9B72;
inline constexpr StatusCode FilmMotorEndFailed = 0x9B73;
inline constexpr StatusCode FilmMotorC7ReadFailed = 0x9B74;
// Scan programming: each names the register write that failed
inline constexpr StatusCode Reg64Failed = 0x9B25;
inline constexpr StatusCode Reg61Failed = 0x9B26;
inline constexpr StatusCode Reg50Failed = 0x9B27;
inline constexpr StatusCode ControlLine5Failed = 0x9B28;
inline constexpr StatusCode ExposureRegistersFailed = 0x9B29;
inline constexpr StatusCode Reg5EFailed = 0x9B2A;
inline constexpr StatusCode Reg5FFirstFailed = 0x9B2B;
inline constexpr StatusCode Reg5FSecondFailed = 0x9B2C;
inline constexpr StatusCode Reg60BitsFailed = 0x9B2D;
inline constexpr StatusCode Reg81Failed = 0x9B2F;
inline constexpr StatusCode Reg82Failed = 0x9B30;
inline constexpr StatusCode Reg83Failed = 0x9B31;
inline constexpr StatusCode RegB0Failed = 0x9B34;
inline constexpr StatusCode WindowRegistersFailed = 0x9B35;
inline constexpr StatusCode ShadingUploadOneFailed = 0x9B36;
inline constexpr StatusCode ShadingUploadThree0Failed = 0x9B37;  // +1, +2 for channels 1, 2
inline constexpr StatusCode ShadingUploadFour0Failed = 0x9B3A;   // +1..+3 for channels 1-3
inline constexpr StatusCode Reg10Bits12Failed = 0x9B3E;
inline constexpr StatusCode Reg11Bit7Failed = 0x9B3F;
inline constexpr StatusCode Reg11BitsFailed = 0x9B42;
inline constexpr StatusCode Reg43Failed = 0x9B44;
inline constexpr StatusCode Reg11Bit0Failed = 0x9B46;
inline constexpr StatusCode Reg12Failed = 0x9B47;
inline constexpr StatusCode Reg13Failed = 0x9B48;
inline constexpr StatusCode Reg16Failed = 0x9B49;
inline constexpr StatusCode Reg21Failed = 0x9B4A;
inline constexpr StatusCode Reg22Failed = 0x9B4B;
inline constexpr StatusCode Reg20Failed = 0x9B4C;
inline constexpr StatusCode Reg1DFailed = 0x9B4D;
inline constexpr StatusCode Reg66Failed = 0x9B4E;
inline constexpr StatusCode Reg1AFailed = 0x9B4F;
inline constexpr StatusCode Reg15Failed = 0x9B50;
inline constexpr StatusCode Reg14Failed = 0x9B51;
inline constexpr StatusCode Reg17Failed = 0x9B52;
inline constexpr StatusCode Reg18Failed = 0x9B54;
inline constexpr StatusCode StartCounterWaitFailed = 0x9B55;
inline constexpr StatusCode Reg11Bit4Failed = 0x9B56;
inline constexpr StatusCode StartReg60Failed = 0x9B57;
inline constexpr StatusCode StartReg80Failed = 0x9B58;
inline constexpr StatusCode StartCommandFailed = 0x9B59;
inline constexpr StatusCode MemoryLayoutFailed = 0x9B5A;
inline constexpr StatusCode RegA0Failed = 0x9B5C;
inline constexpr StatusCode Reg10Bit4Failed = 0x9B5D;
inline constexpr StatusCode Reg10Bit3Failed = 0x9B5E;
// Calibration
inline constexpr StatusCode CalibrationComputeFailed = 0xFC02;
inline constexpr StatusCode LevelThreeChannelsFailed = 0x9BC9;
inline constexpr StatusCode LevelFourChannelsFailed = 0x9BCA;
// Scan pipeline
inline constexpr StatusCode FlatbedXOrigin = 0x970B;
inline constexpr StatusCode FlatbedWidth = 0x970C;
inline constexpr StatusCode FlatbedXEnd = 0x970D;
inline constexpr StatusCode FlatbedYOrigin = 0x970E;
inline constexpr StatusCode FlatbedHeight = 0x970F;
inline constexpr StatusCode FlatbedYEnd = 0x9710;
inline constexpr StatusCode FilmResolution = 0x9711;
inline constexpr StatusCode FilmXOrigin = 0x9712;
inline constexpr StatusCode FilmWidth = 0x9713;
inline constexpr StatusCode FilmXEnd = 0x9714;
inline constexpr StatusCode FilmYOrigin = 0x9715;
inline constexpr StatusCode FilmHeight = 0x9716;
inline constexpr StatusCode FilmYEnd = 0x9717;
inline constexpr StatusCode ShadingPrepareFailed = 0xFC01;
inline constexpr StatusCode ReaderThreadFailed = 0xFA02;
inline constexpr StatusCode ScanLine6Failed = 0x9B20;
inline constexpr StatusCode ScanPrepareReadFailed = 0x9B21;
inline constexpr StatusCode FilmPositionReadFailed = 0x9B22;
inline constexpr StatusCode StopReg80Failed = 0x9B24;
inline constexpr StatusCode BlendLinesFailed = 0x9B0A;
inline constexpr StatusCode DeliverLineFailed = 0x9B0B;
inline constexpr StatusCode StopCommandFailed = 0x9B1F;
inline constexpr StatusCode DrainBufferFailed = 0x981F;
}  // namespace status

// A short text for each value of the table, for error messages; nullptr for
// a value outside it.
const char* StatusMeaning(StatusCode code);

}  // namespace zrt
