// The engine's files in the temporary directory under hostile conditions:
// links planted at their names, a save cut short by a crash or a failing
// write, and damaged calibrations. Every session runs in a child process
// with an engine of its own (the program itself never starts one), so a
// child can be killed in the middle of a write.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/api/status_codes.h"
#include "platform/clock.h"
#include "platform/shared_state.h"
#include "tests/processes/forked_child.h"
#include "tests/processes/sim_session.h"

namespace zrt::test {
namespace {

namespace fs = std::filesystem;

const auto* const kEnvironment = InstallProcessEnvironment("files");

constexpr uint16_t kLines = 20;
constexpr const char* kReference = "ZRT5617A.SHD";  // document calibration at 600 dpi
constexpr const char* kUseCount = "ZRT5617G.SHD";
constexpr size_t kReferenceBytes = 204173;

// The document scan every session sets up; it is calibrated at 600 dpi.
const ::ScanParameters kWindow = DocumentWindow(300, 24, kLines);

bool SetUpDocumentScan() { return OpenDocumentScanner() && ::SetScanParameter(0, &kWindow) == 1; }

uint8_t CalibrationState() {
    uint8_t out = 0xEE;
    return ::GetCalibrationStatus(0, &out) == 1 ? out : 0xEE;
}

bool ScanStartRefusedForShading() {
    return ::StartScanEx(0, 0) == 0 && ChildLastStatus() == status::ShadingPrepareFailed;
}

bool ScansWhole() {
    return ::SetScanParameter(0, &kWindow) == 1 && ScanAllLines().size() == size_t{300} * 3 * kLines;
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A file in a directory of its own with a link to it at one of the
// engine's names. Unchanged() holds while neither its bytes nor its
// modification time have moved.
class PlantedLink {
public:
    PlantedLink(const ChildWorld& world, const std::string& name, std::vector<uint8_t> bytes)
        : victim_(world.file("elsewhere/" + name)), bytes_(std::move(bytes)) {
        fs::create_directories(world.file("elsewhere"));
        WriteFileBytes(victim_, bytes_);
        stat(victim_.c_str(), &before_);
        fs::remove(world.file(name));
        fs::create_symlink(victim_, world.file(name));
    }
    // Plants a link at `name` to what the engine wrote there itself.
    static PlantedLink Over(const ChildWorld& world, const std::string& name) {
        return PlantedLink(world, name, ReadFileBytes(world.file(name)));
    }
    bool Unchanged() const {
        struct stat now {};
        return stat(victim_.c_str(), &now) == 0 && ReadFileBytes(victim_) == bytes_ &&
               now.st_mtim.tv_sec == before_.st_mtim.tv_sec && now.st_mtim.tv_nsec == before_.st_mtim.tv_nsec;
    }

private:
    std::string victim_;
    std::vector<uint8_t> bytes_;
    struct stat before_ {};
};

// --- Links at the engine's names --------------------------------------------

int LinkAtFauSettings(ChildWorld& world) {
    const std::string text = "FAUScanPosition = 2\n";
    {
        PlantedLink link(world, "FAU.txt", {text.begin(), text.end()});
        REQUIRE_IN_CHILD(::FindScannerEx(0, "sim") == 1);
        REQUIRE_IN_CHILD(platform::SharedState().FAUScanPosition == 3);
        REQUIRE_IN_CHILD(link.Unchanged());
    }
    // The same text in a file of its own is read.
    fs::remove(world.file("FAU.txt"));
    WriteFileBytes(world.file("FAU.txt"), {text.begin(), text.end()});
    REQUIRE_IN_CHILD(::TerminateScanner(0) == 1 && ::FindScannerEx(0, "sim") == 1);
    REQUIRE_IN_CHILD(platform::SharedState().FAUScanPosition == 2);
    return 0;
}

// A valid calibration behind a link at the reference or counter name is not
// the engine's: it asks for a calibration, refuses to scan, and the new
// calibration takes the name's place without touching the link's target.
int LinkAtCalibrationFile(ChildWorld& world, const char* name) {
    REQUIRE_IN_CHILD(SetUpDocumentScan());
    REQUIRE_IN_CHILD(::DoCalibration(0, 0, 0, 600) == 1);
    const PlantedLink link = PlantedLink::Over(world, name);
    REQUIRE_IN_CHILD(CalibrationState() == 2);
    REQUIRE_IN_CHILD(ScanStartRefusedForShading());
    REQUIRE_IN_CHILD(link.Unchanged());  // not even a use counted

    REQUIRE_IN_CHILD(::DoCalibration(0, 0, 0, 600) == 1);
    REQUIRE_IN_CHILD(IsRegularFile(world.file(name)));
    REQUIRE_IN_CHILD(link.Unchanged());
    REQUIRE_IN_CHILD(CalibrationState() == 0);
    REQUIRE_IN_CHILD(ScansWhole());
    return 0;
}

// Links at the names a save writes before it renames.
int LinksAtTemporaryNames(ChildWorld& world) {
    const PlantedLink reference(world, std::string(kReference) + ".new", std::vector<uint8_t>(64, 0xA5));
    const PlantedLink counter(world, std::string(kUseCount) + ".new", {0x34, 0x12});
    REQUIRE_IN_CHILD(SetUpDocumentScan());
    REQUIRE_IN_CHILD(::DoCalibration(0, 0, 0, 600) == 1);
    REQUIRE_IN_CHILD(reference.Unchanged() && counter.Unchanged());
    REQUIRE_IN_CHILD(CalibrationState() == 0);
    REQUIRE_IN_CHILD(ScansWhole());
    return 0;
}

// A film scan with the infrared channel: 160 pixels at 1200 dpi, 48 bits.
::ScanParameters FilmWindow(uint8_t depth) {
    ::ScanParameters p = DocumentWindow(1200, depth, 30, 9968, 9222 + 4800, 640);
    p.FilmScan = 1;
    return p;
}

constexpr uint32_t kFilmPixels = 160;

int LinkAtInfraredFileOfAScan(ChildWorld& world) {
    REQUIRE_IN_CHILD(OpenDocumentScanner() && ::SetLamp(0, 12) == 1);
    REQUIRE_IN_CHILD(::DoCalibration(0, 1, 0, 1200) == 1);
    const ::ScanParameters film = FilmWindow(48);
    std::vector<uint8_t> line(kFilmPixels * 6);
    {
        const PlantedLink link(world, "ZRT5617I.dat", std::vector<uint8_t>(640, 0x5A));
        REQUIRE_IN_CHILD(::SetScanParameter(0, &film) == 1);
        REQUIRE_IN_CHILD(::StartScanEx(0, 0) == 1);
        // The infrared plane has nowhere to go: the line is not delivered.
        REQUIRE_IN_CHILD(::ReadScan(0, 0, line.data(), static_cast<uint32_t>(line.size())) == 0);
        REQUIRE_IN_CHILD(ChildLastStatus() == status::DeliverLineFailed);
        ::StopScanEx(0, 0);
        REQUIRE_IN_CHILD(link.Unchanged());
    }
    // Without the link the same scan keeps its infrared plane.
    fs::remove(world.file("ZRT5617I.dat"));
    // The carriage is still on its way home after the stop; the scanner's
    // own time passes while the lamp selection waits for it.
    bool home = false;
    for (int wait = 0; wait < 100 && !(home = ::SetLamp(0, 12) == 1); ++wait) platform::SleepMs(500);
    REQUIRE_IN_CHILD(home);
    REQUIRE_IN_CHILD(::SetScanParameter(0, &film) == 1);
    REQUIRE_IN_CHILD(::StartScanEx(0, 0) == 1);
    REQUIRE_IN_CHILD(::ReadScan(0, 0, line.data(), static_cast<uint32_t>(line.size())) == 1);
    ::StopScanEx(0, 0);
    REQUIRE_IN_CHILD(IsRegularFile(world.file("ZRT5617I.dat")));
    REQUIRE_IN_CHILD(fs::file_size(world.file("ZRT5617I.dat")) >= kFilmPixels * 2);
    return 0;
}

int LinkAtInfraredFileOfAReplay(ChildWorld& world) {
    std::vector<uint8_t> samples(kFilmPixels * 2 * 30);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 7);
    REQUIRE_IN_CHILD(OpenDocumentScanner() && ::SetLamp(0, 8) == 1);
    const ::ScanParameters replay = FilmWindow(8);
    std::vector<uint8_t> line(kFilmPixels);
    {
        const PlantedLink link(world, "ZRT5617I.dat", samples);
        REQUIRE_IN_CHILD(::SetScanParameter(0, &replay) == 1);
        REQUIRE_IN_CHILD(::StartScanEx(0, 0) == 1);
        REQUIRE_IN_CHILD(::ReadScan(0, 0, line.data(), kFilmPixels) == 0);
        REQUIRE_IN_CHILD(ChildLastStatus() == status::ShadingPrepareFailed);
        ::StopScanEx(0, 0);
        REQUIRE_IN_CHILD(link.Unchanged());
    }
    // The same samples in a file of their own are replayed.
    fs::remove(world.file("ZRT5617I.dat"));
    WriteFileBytes(world.file("ZRT5617I.dat"), samples);
    REQUIRE_IN_CHILD(::SetScanParameter(0, &replay) == 1);
    REQUIRE_IN_CHILD(::StartScanEx(0, 0) == 1);
    REQUIRE_IN_CHILD(::ReadScan(0, 0, line.data(), kFilmPixels) == 1);
    REQUIRE_IN_CHILD(line[0] == samples[2 * (kFilmPixels - 1) + 1]);
    ::StopScanEx(0, 0);
    return 0;
}

struct LinkCase {
    const char* name;
    std::function<int(ChildWorld&)> session;
};

void PrintTo(const LinkCase& c, std::ostream* out) { *out << c.name; }

class LinkAtAnEngineFile : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkAtAnEngineFile, IsNeverFollowed) {
    ChildWorld world;
    EXPECT_EQ(WaitChild(ForkChild([&] { return GetParam().session(world); })), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LinkAtAnEngineFile,
    ::testing::Values(LinkCase{"FauSettings", LinkAtFauSettings},
                      LinkCase{"Reference", [](ChildWorld& w) { return LinkAtCalibrationFile(w, kReference); }},
                      LinkCase{"UseCount", [](ChildWorld& w) { return LinkAtCalibrationFile(w, kUseCount); }},
                      LinkCase{"TemporaryNamesOfASave", LinksAtTemporaryNames},
                      LinkCase{"InfraredOfAFilmScan", LinkAtInfraredFileOfAScan},
                      LinkCase{"InfraredOfAReplay", LinkAtInfraredFileOfAReplay}),
    [](const auto& info) { return std::string(info.param.name); });

// --- A save cut short ---------------------------------------------------------

struct CutCase {
    const char* name;
    bool killed;    // the write limit kills the process; else the write fails
    bool previous;  // a calibration from before is in place
};

void PrintTo(const CutCase& c, std::ostream* out) { *out << c.name; }

constexpr rlim_t kWriteLimit = 64 * 1024;  // a third of the reference file

// Calibrates with the size of any file it writes limited: the save of the
// reference file stops part-way, by the limit's signal or a failing write.
int CalibrateUnderAWriteLimit(bool killed) {
    REQUIRE_IN_CHILD(SetUpDocumentScan());
    if (!killed) signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kWriteLimit, kWriteLimit};
    REQUIRE_IN_CHILD(setrlimit(RLIMIT_FSIZE, &limit) == 0);
    REQUIRE_IN_CHILD(::DoCalibration(0, 0, 0, 600) == 0);
    REQUIRE_IN_CHILD(ChildLastStatus() == status::CalibrationComputeFailed);
    return 0;
}

class CutSave : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutSave, LeavesNoCalibrationThatLoads) {
    const CutCase& c = GetParam();
    ChildWorld world;
    if (c.previous) {
        ASSERT_EQ(WaitChild(ForkChild([] {
                      REQUIRE_IN_CHILD(SetUpDocumentScan());
                      REQUIRE_IN_CHILD(::DoCalibration(0, 0, 0, 600) == 1);
                      return 0;
                  })),
                  0);
    }
    const auto reference = ReadFileBytes(world.file(kReference));
    const auto counter = ReadFileBytes(world.file(kUseCount));

    const int cut = WaitChild(ForkChild([&] { return CalibrateUnderAWriteLimit(c.killed); }));
    EXPECT_EQ(cut, c.killed ? 128 + SIGXFSZ : 0);
    // The cut-off write went to the temporary name only.
    EXPECT_EQ(ReadFileBytes(world.file(kReference)), reference);
    EXPECT_EQ(ReadFileBytes(world.file(kUseCount)), counter);
    EXPECT_EQ(fs::exists(world.file(std::string(kReference) + ".new")), c.killed);
    if (c.killed) {
        EXPECT_EQ(fs::file_size(world.file(std::string(kReference) + ".new")), kWriteLimit);
    }

    // The next session finds the calibration from before, or none at all,
    // and a new one takes the place of what was cut off.
    EXPECT_EQ(WaitChild(ForkChild([&] {
                  REQUIRE_IN_CHILD(SetUpDocumentScan());
                  if (c.previous) {
                      REQUIRE_IN_CHILD(CalibrationState() == 0);
                      REQUIRE_IN_CHILD(ScansWhole());
                  } else {
                      REQUIRE_IN_CHILD(CalibrationState() == 2);
                      REQUIRE_IN_CHILD(ScanStartRefusedForShading());
                  }
                  REQUIRE_IN_CHILD(::DoCalibration(0, 0, 0, 600) == 1);
                  REQUIRE_IN_CHILD(fs::file_size(world.file(kReference)) == kReferenceBytes);
                  REQUIRE_IN_CHILD(!fs::exists(world.file(std::string(kReference) + ".new")));
                  REQUIRE_IN_CHILD(CalibrationState() == 0);
                  REQUIRE_IN_CHILD(ScansWhole());
                  return 0;
              })),
              0);
}

INSTANTIATE_TEST_SUITE_P(Ways, CutSave,
                         ::testing::Values(CutCase{"KilledFirstCalibration", true, false},
                                           CutCase{"KilledOverAPreviousOne", true, true},
                                           CutCase{"FailedWriteFirstCalibration", false, false},
                                           CutCase{"FailedWriteOverAPreviousOne", false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// --- Damaged calibrations -------------------------------------------------------

struct DamageCase {
    const char* name;
    std::function<void(const ChildWorld&)> damage;
    bool scanRefused;  // the scan start itself refuses it, besides the status asking for a calibration
};

void PrintTo(const DamageCase& c, std::ostream* out) { *out << c.name; }

void Resize(const ChildWorld& world, const char* name, size_t bytes) { fs::resize_file(world.file(name), bytes); }

class DamagedCalibration : public ::testing::TestWithParam<DamageCase> {};

// The application asks GetCalibrationStatus before it scans: a damaged
// calibration makes it ask for a new one, and the scan start does not use
// what it cannot load whole.
TEST_P(DamagedCalibration, AsksForANewCalibration) {
    const DamageCase& c = GetParam();
    ChildWorld world;
    EXPECT_EQ(WaitChild(ForkChild([&] {
                  REQUIRE_IN_CHILD(SetUpDocumentScan());
                  REQUIRE_IN_CHILD(::DoCalibration(0, 0, 0, 600) == 1);
                  c.damage(world);
                  REQUIRE_IN_CHILD(CalibrationState() == 2);
                  if (c.scanRefused) REQUIRE_IN_CHILD(ScanStartRefusedForShading());
                  REQUIRE_IN_CHILD(::DoCalibration(0, 0, 0, 600) == 1);
                  REQUIRE_IN_CHILD(CalibrationState() == 0);
                  REQUIRE_IN_CHILD(ScansWhole());
                  return 0;
              })),
              0);
}

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedCalibration,
    ::testing::Values(
        DamageCase{"ReferenceOneByteShort", [](const ChildWorld& w) { Resize(w, kReference, kReferenceBytes - 1); },
                   true},
        DamageCase{"ReferenceHalf", [](const ChildWorld& w) { Resize(w, kReference, kReferenceBytes / 2); }, true},
        DamageCase{"ReferenceEmpty", [](const ChildWorld& w) { Resize(w, kReference, 0); }, true},
        DamageCase{"ReferenceMissing", [](const ChildWorld& w) { fs::remove(w.file(kReference)); }, true},
        DamageCase{"UseCountOneByte", [](const ChildWorld& w) { Resize(w, kUseCount, 1); }, true},
        DamageCase{"UseCountMissing", [](const ChildWorld& w) { fs::remove(w.file(kUseCount)); }, true},
        // A header that names no bus the scanner has: the scan start does
        // not compare it, GetCalibrationStatus does.
        DamageCase{"ReferenceHeaderZeroed",
                   [](const ChildWorld& w) {
                       auto bytes = ReadFileBytes(w.file(kReference));
                       bytes[0] = 0;
                       WriteFileBytes(w.file(kReference), bytes);
                   },
                   false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zrt::test
