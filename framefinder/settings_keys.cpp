#include "framefinder/settings_keys.h"

#include <cstddef>

#include "zrts5617.h"

namespace zrt::ff {
namespace {

#define FIELD(member) offsetof(FrameSettings, member)
#define SNAKES(prefix, member) \
    {prefix "LeftAdjust", ValueType::Int, FIELD(member.LeftAdjust)},       \
    {prefix "RightAdjust", ValueType::Int, FIELD(member.RightAdjust)},     \
    {prefix "TopAdjust", ValueType::Int, FIELD(member.TopAdjust)},         \
    {prefix "BottomAdjust", ValueType::Int, FIELD(member.BottomAdjust)},   \
    {prefix "Xrange", ValueType::Millimetre, FIELD(member.Xrange)},        \
    {prefix "Yrange", ValueType::Millimetre, FIELD(member.Yrange)}
#define FRAME_SIZE(name, index)                                                             \
    {name ".film_min_length", ValueType::Millimetre, FIELD(frame_size[index].film_min_length)}, \
    {name ".film_max_length", ValueType::Millimetre, FIELD(frame_size[index].film_max_length)}, \
    {name ".film_length", ValueType::Millimetre, FIELD(frame_size[index].film_length)}

constexpr KeyField kPlainKeys[] = {
    {"Scanner", ValueType::Int, FIELD(scanner)},
    {"Resolution", ValueType::Int, FIELD(resolution)},
    {"ImageSizeWidth", ValueType::Int, FIELD(image_min_width)},
    {"ImageSizeHeight", ValueType::Int, FIELD(image_min_height)},
    {"Debug_flag", ValueType::Int, FIELD(debug_flags)},
    {"FilmGuideNumber", ValueType::U8, FIELD(template_count)},
    {"FilmGuideBlock", ValueType::U8, FIELD(template_block)},
    {"FilmGuideThresholdR", ValueType::U16, FIELD(template_threshold[0])},
    {"FilmGuideThresholdG", ValueType::U16, FIELD(template_threshold[1])},
    {"FilmGuideThresholdB", ValueType::U16, FIELD(template_threshold[2])},
    {"FAULuminance", ValueType::Int, FIELD(fau_luminance)},
    {"FilmguideMarginT", ValueType::Int, FIELD(margin_top)},
    {"FilmguideMarginB", ValueType::Int, FIELD(margin_bottom)},
    {"FilmguideMarginL", ValueType::Int, FIELD(margin_left)},
    {"FilmguideMarginR", ValueType::Int, FIELD(margin_right)},
    {"FilmguideRangeX", ValueType::Millimetre, FIELD(range_x)},
    {"FilmguideRangeY", ValueType::Millimetre, FIELD(range_y)},
    {"FilmguideThreshold", ValueType::Int, FIELD(guide_threshold)},
    {"FilmguideXadjust", ValueType::Millimetre, FIELD(x_adjust)},
    {"FilmguideDivider", ValueType::Millimetre, FIELD(divider)},
    {"FilmguideBlackMylar", ValueType::Int, FIELD(black_mylar)},
    {"PosDividerParamTh1", ValueType::Real, FIELD(pos_divider_th1)},
    {"PosDividerParamTh2", ValueType::Real, FIELD(pos_divider_th2)},
    {"NegDividerParamTh1", ValueType::Real, FIELD(neg_divider_th1)},
    {"NegDividerParamTh2", ValueType::Real, FIELD(neg_divider_th2)},
    FRAME_SIZE("Sleeve35Full", 1),
    FRAME_SIZE("Blowne45", 2),
    FRAME_SIZE("Blowne60", 3),
    FRAME_SIZE("Blowne70", 4),
    FRAME_SIZE("Blowne80", 5),
    FRAME_SIZE("Blowne90", 6),
    FRAME_SIZE("Blowne120", 7),
    {"MountLengthX", ValueType::Millimetre, FIELD(frame_size[0].film_min_length)},
    {"MountLengthY", ValueType::Millimetre, FIELD(frame_size[0].film_max_length)},
    {"Mount_inside", ValueType::Millimetre, FIELD(frame_size[0].film_length)},
    {"Mount_upper", ValueType::Millimetre, FIELD(frame_size[0].kind)},
    SNAKES("MountSleeveSnakes", mount_snakes),
    {"MountSleeveSnakesThreshold", ValueType::Int, FIELD(mount_snakes.Threshold)},
    SNAKES("NegaSleeveSnakes", nega_snakes),
    {"NegaSleeveSnakesRatio", ValueType::Real, FIELD(nega_snakes.Ratio)},
    SNAKES("PosiSleeveSnakes", posi_snakes),
    {"PosiSleeveSnakesThreshold", ValueType::Int, FIELD(posi_snakes.Threshold)},
    SNAKES("BlowneNegSleeveSnakes", blowne_neg_snakes),
    {"BlowneNegSleeveSnakesRatio", ValueType::Real, FIELD(blowne_neg_snakes.Ratio)},
    SNAKES("BlownePosSleeveSnakes", blowne_pos_snakes),
    {"NegaSleeveSnakesPanoLength", ValueType::Millimetre, FIELD(pano.PanoLength)},
    {"NegaSleeveSnakesPanoMean", ValueType::Int, FIELD(pano.PanoMean)},
    {"NegaSleeveSnakesPanoSigma", ValueType::Real, FIELD(pano.PanoSigma)},
    {"NegaSleeveSnakesPanoRangeS", ValueType::Millimetre, FIELD(pano.PanoRangeS)},
    {"NegaSleeveSnakesPanoRangeE", ValueType::Millimetre, FIELD(pano.PanoRangeE)},
    {"Estimate135Length", ValueType::Millimetre, FIELD(estimate135_length)},
    {"Estimate120_U45", ValueType::Millimetre, FIELD(estimate120_bound[0])},
    {"Estimate120_45", ValueType::Millimetre, FIELD(estimate120_bound[1])},
    {"Estimate120_60", ValueType::Millimetre, FIELD(estimate120_bound[2])},
    {"Estimate120_70", ValueType::Millimetre, FIELD(estimate120_bound[3])},
    {"Estimate120_80", ValueType::Millimetre, FIELD(estimate120_bound[4])},
    {"Estimate120_90", ValueType::Millimetre, FIELD(estimate120_bound[5])},
    {"Estimate120_120", ValueType::Millimetre, FIELD(estimate120_bound[6])},
    {"Estimate120Length45", ValueType::Millimetre, FIELD(estimate120_length[0])},
    {"Estimate120Length60", ValueType::Millimetre, FIELD(estimate120_length[1])},
    {"Estimate120Length70", ValueType::Millimetre, FIELD(estimate120_length[2])},
    {"Estimate120Length80", ValueType::Millimetre, FIELD(estimate120_length[3])},
    {"Estimate120Length90", ValueType::Millimetre, FIELD(estimate120_length[4])},
    {"Estimate120Length120", ValueType::Millimetre, FIELD(estimate120_length[5])},
};

constexpr BlockField kDebugFields[] = {
    {"DebugRect.x", FIELD(debug_rect[0].left), 16},
    {"DebugRect.y", FIELD(debug_rect[0].top), 16},
    {"DebugRect.r", FIELD(debug_rect[0].right), 16},
    {"DebugRect.b", FIELD(debug_rect[0].bottom), 16},
    {"DebugType1", FIELD(debug_kind[0]), 4},
    {"DebugType3", FIELD(debug_polarity[0]), 4},
};
constexpr BlockField kMountFields[] = {
    {"Mount.x", FIELD(mount[0][0]), 16},
    {"Mount.y", FIELD(mount[0][1]), 16},
};
constexpr BlockField kSleeveFields[] = {
    {"Sleeve.left", FIELD(sleeve[0].left), 16},
    {"Sleeve.top", FIELD(sleeve[0].top), 16},
    {"Sleeve.right", FIELD(sleeve[0].right), 16},
    {"Sleeve.bottom", FIELD(sleeve[0].bottom), 16},
};
constexpr BlockField kBlowneFields[] = {
    {"Blowne.left", FIELD(blowne[0].left), 16},
    {"Blowne.top", FIELD(blowne[0].top), 16},
    {"Blowne.right", FIELD(blowne[0].right), 16},
    {"Blowne.bottom", FIELD(blowne[0].bottom), 16},
};

constexpr BlockKey kBlockKeys[] = {
    {"DebugNumber", FIELD(debug_count), ZRTS_MAX_DEBUG_FRAMES, 6, kDebugFields},
    {"MountNumber", FIELD(mount_count), ZRTS_MAX_MOUNTS, 2, kMountFields},
    {"SleeveNumber", FIELD(sleeve_count), ZRTS_MAX_HOLDERS, 4, kSleeveFields},
    {"BlowneNumber", FIELD(blowne_count), ZRTS_MAX_HOLDERS, 4, kBlowneFields},
};

constexpr std::string_view kTemplateKeys[] = {
    "FilmGuideSleeve135", "FilmGuideMount135", "FilmGuideSleeve120", "FilmGuideLarge"};

#undef FIELD
#undef SNAKES
#undef FRAME_SIZE

}  // namespace

std::span<const KeyField> PlainKeys() { return kPlainKeys; }
std::span<const BlockKey> BlockKeys() { return kBlockKeys; }
std::span<const std::string_view> TemplateKeys() { return kTemplateKeys; }

}  // namespace zrt::ff
