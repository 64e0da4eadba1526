// The blade-vibration recorder's configuration (.rbd, signature "@RECBLD"):
// channels in use, blade and mark numbering, two control pairs. Read so that
// an analysis configuration can be started from the recorder's set-up.
#pragma once

#include "base/message_sink.hpp"
#include "config/cfg_config.hpp"

#include <array>
#include <cstdint>
#include <string>

namespace vibrolan {

class TAngleGates; // the owner's angle-gate set; not persisted
class TCfgDfm;

inline constexpr std::size_t kRecChannels = 32;
inline constexpr std::size_t kRecNumbering = 100;

// Caption of the box that reports a wrongly tagged count or numbering value.
inline constexpr std::string_view kRecInputErrorCaption = "ошибка ввода конфигурации";

struct TPair4rec {
    std::uint16_t Root = 0;           // channel-list index of the root sensor
    std::uint16_t Peak = 0;           // channel-list index of the tip sensor
    std::uint16_t Skip = 0;           // blades to skip
    std::uint16_t OrderChanTacho = 0; // channel-list index of the tacho sensor
    std::uint16_t divisorTacho = 0;   // tacho marks per revolution
    double Diametr = 0;               // millimetres
    bool AutoScaleY = false;
    float MinY = 0;
    float MaxY = 0;
    float ShiftTacho = 0; // degrees
};

class TCfgRecBlade final : public TConfig {
public:
    static constexpr const char *kSignature = "@RECBLD";

    // `messages` receives the input-error boxes of ReadData; the gate set and
    // the gate file name are the owner's (the import passes none).
    explicit TCfgRecBlade(MessageSink &messages, TAngleGates *Gts = nullptr, std::string Sign = kSignature,
                          std::string *GtFileName = nullptr);

    void InitDefault() override;
    void WriteData() override;
    // Also reads the recorder's older layouts. A count or numbering value
    // without an 8- or 16-bit integer tag stops reading with a message box;
    // the rest of the object keeps its values.
    void ReadData() override;

    // Fills a freshly constructed analysis configuration from this set-up.
    // Throws ValueError at the first value that cannot be converted (channel
    // count above 32, channel number 0, tacho channel index 32 or more, tacho
    // channel number 0, tacho divisor 0); the target is then partly filled.
    bool ConvertTo(TCfgDfm &target) const;

    std::uint8_t ChannelCount() const { return static_cast<std::uint8_t>(CountChannel & 0xFF); }

    std::string FileName;
    TAngleGates *fGates = nullptr;
    std::string *GateFileName = nullptr;
    std::string PlayFileName;
    std::uint16_t CountChannel = 0;                     // low byte: channels in use
    std::array<std::uint16_t, kRecChannels> Channels{}; // one-based recorder channel numbers
    std::uint16_t Plate = 0;
    TPair4rec Pair1;
    TPair4rec Pair2;
    std::uint16_t CountBlade = 0;
    std::uint16_t CountImpuls = 0;
    std::array<std::uint16_t, kRecNumbering> Impuls{};
    std::array<std::uint16_t, kRecNumbering> OrderBlade{};
    std::array<std::uint16_t, kRecChannels> CompLevel{};
    std::array<std::string, kRecChannels> SensorName;
    std::array<std::uint16_t, kRecChannels> TypeSensor{};
    std::string Comm;
    bool AxisX = false;
    std::uint16_t SizeBuf = 0; // index into 126, 255, 510, 1023, 2046, 4095, 6141
    std::uint16_t Astop = 0;
    std::uint16_t Astart = 0;
    std::uint16_t Incrmodule = 0;
    std::uint16_t Trace = 0;
    double aFreq = 0;

private:
    MessageSink *messages_;
};

} // namespace vibrolan
