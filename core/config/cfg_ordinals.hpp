// The ordinal types of the analysis configuration with the texts the user
// sees. The numeric values are the stored ones and the list positions of the
// editors on purpose; a value read from a file may lie outside the list, so
// every text lookup is bounded.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace vibrolan {

enum class TTypeStage : std::uint8_t { tsFree = 0, tsBandag = 1, tsLink = 2, tsAviaEng = 3 };

enum class TTypeSensor : std::uint8_t {
    srRoot = 0,
    srPeak = 1,
    srInEdge = 2,
    srOutEdge = 3,
    srTaho = 4,
    srRoot_cap = 5,
    srPeak_cap = 6,
    srUTS = 7,
    srIRIG_B = 8,
};

enum class TMode : std::uint8_t { mdDynamic = 0, mdStatic = 1 };

// Items of the stage-kind selection list (trailing blanks are part of them).
inline constexpr std::array<std::string_view, 4> kTypeStageTexts = {"Свободная    ", "Бандажированная",
                                                                    "Связанная      ", "Авиадвигатель"};
// Suffixes of the report's stage titles.
inline constexpr std::array<std::string_view, 4> kTypeStageReportSuffixes = {
    " (своб.лопатки)", " (банд.лопатки)", " (связ.лопатки)", " (авиалопатки)"};
// The nine sensor-kind texts, indexed by TTypeSensor.
inline constexpr std::array<std::string_view, 9> kTypeSensorTexts = {
    "Корневой",           "Периферийный",           "Вх. кромка",   "Вых. кромка", "Оборотный",
    "Корневой емкостный", "Периферийный емкостный", "единое время", "IRIG-B"};
inline constexpr std::array<std::string_view, 2> kModeTexts = {"Проход", "Стационарный "};

// The text of ordinal `e` in `texts`; empty for a value outside the list.
template <typename Enum, std::size_t N>
constexpr std::string_view OrdinalText(const std::array<std::string_view, N> &texts, Enum e)
{
    const auto i = static_cast<std::size_t>(e);
    return i < N ? texts[i] : std::string_view{};
}

constexpr std::string_view TypeStageText(TTypeStage t) { return OrdinalText(kTypeStageTexts, t); }
constexpr std::string_view TypeStageReportSuffix(TTypeStage t)
{
    return OrdinalText(kTypeStageReportSuffixes, t);
}
constexpr std::string_view TypeSensorText(TTypeSensor t) { return OrdinalText(kTypeSensorTexts, t); }
constexpr std::string_view ModeText(TMode m) { return OrdinalText(kModeTexts, m); }

} // namespace vibrolan
