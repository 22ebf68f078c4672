#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "engine/api/status_codes.h"

namespace zrt {
namespace {

// Every constant of the header, read from the header itself so that a new
// constant without a text is caught.
std::vector<StatusCode> DeclaredCodes() {
    std::ifstream header(std::string(ZRT_TEST_SOURCE_DIR) + "/engine/api/status_codes.h");
    std::stringstream text;
    text << header.rdbuf();
    const std::string source = text.str();
    const std::regex constant(R"(StatusCode\s+\w+\s*=\s*(0x[0-9A-Fa-f]{4});)");
    std::vector<StatusCode> codes;
    for (auto it = std::sregex_iterator(source.begin(), source.end(), constant); it != std::sregex_iterator(); ++it) {
        codes.push_back(static_cast<StatusCode>(std::stoul((*it)[1].str(), nullptr, 16)));
    }
    return codes;
}

TEST(StatusMeaning, EveryDeclaredValueHasAText) {
    const auto codes = DeclaredCodes();
    ASSERT_GT(codes.size(), 100u);
    for (StatusCode code : codes) {
        const char* text = StatusMeaning(code);
        ASSERT_NE(text, nullptr) << std::hex << code;
        EXPECT_GT(std::string(text).size(), 5u) << std::hex << code;
    }
    // The per-channel shading upload values are named by their first one.
    for (StatusCode code : {0x9B38, 0x9B39, 0x9B3B, 0x9B3C, 0x9B3D}) {
        EXPECT_NE(StatusMeaning(code), nullptr) << std::hex << code;
    }
    EXPECT_EQ(StatusMeaning(0x1234), nullptr);
    EXPECT_EQ(StatusMeaning(0x9B2E), nullptr);
    EXPECT_STREQ(StatusMeaning(status::FilmXOrigin), "film: x origin outside the film area");
}

TEST(StatusCodes, SpotValuesOfTheTable) {
    struct Spot {
        StatusCode constant;
        StatusCode value;
    };
    const Spot spots[] = {
        {status::NoScanActive, 0x0001},          {status::OpenFailed, 0x0101},
        {status::DeviceActive, 0x9601},          {status::EngineBuffersFailed, 0x9807},
        {status::NoFilmAdapterForFilmSource, 0x6B01}, {status::FilmGuideFound, 0xA700},
        {status::SensorTestDarkTooBright, 0x0A02}, {status::MotionTimeout, 0x9B1A},
        {status::ControllerIdleTimeout, 0x9B62}, {status::FilmMotorC7ReadFailed, 0x9B74},
        {status::ShadingUploadFour0Failed, 0x9B3A}, {status::Reg18Failed, 0x9B54},
        {status::LevelFourChannelsFailed, 0x9BCA}, {status::FlatbedYEnd, 0x9710},
        {status::FilmXOrigin, 0x9712},           {status::FilmYEnd, 0x9717},
        {status::ReaderThreadFailed, 0xFA02},    {status::DrainBufferFailed, 0x981F},
    };
    for (const Spot& spot : spots) EXPECT_EQ(spot.constant, spot.value) << std::hex << spot.value;
}

}  // namespace
}  // namespace zrt
