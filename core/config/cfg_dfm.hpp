// The analysis configuration of one machine (stages, sensors, pairs,
// thresholds, files, options) together with the per-stage, per-pair and
// per-blade results of the last run, which the run and the computations fill
// and the plots, the report and the savers read.
//
// Field names are the program's own names. Fixed-capacity arrays keep their
// capacity (std::array, or a std::vector sized once at construction and never
// resized); the large result arrays are LazyArrays that take memory only when
// written; result series are owned blocks released by FreeData and on
// destruction.
#pragma once

#include "base/histogram.hpp"
#include "base/ring_buffers.hpp"
#include "config/cfg_config.hpp"
#include "config/cfg_ordinals.hpp"
#include "config/lazy_array.hpp"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace vibrolan {

inline constexpr std::size_t kMaxStages = 5;
inline constexpr std::size_t kMaxPairs = 16;
inline constexpr std::size_t kMaxSensors = 96;
inline constexpr std::size_t kMaxBlades = 255;
inline constexpr std::size_t kMaxHarmonics = 32;
inline constexpr std::size_t kMaxSeriesLength = 1000001;
inline constexpr std::size_t kMatrixOrder = 32;

using TMtxDouble = std::array<std::array<double, kMatrixOrder>, kMatrixOrder>; // [row][column]
// An owned matrix that is present or not; it dereferences like the pointer it stands for.
using PMtxDbl = OwnedBlock<TMtxDouble>;
// Sample series: owned blocks of which the pair's Size entries are used (at
// most kMaxSeriesLength); an empty block is an unallocated one.
using TArrSingle = std::vector<float>;
using TArrDouble = std::vector<double>;

struct TRange {
    double _From = 0;
    double _To = 0;
};

// Expected resonance band Bottom .. Bottom * (1 + DeltaTop) on the Freq scale.
struct TWaitOfRes {
    double Bottom = 0;
    double DeltaTop = 0;
};

// Tacho reference of a stage; as one 16-bit number divisor is the low byte.
struct TTachoComb {
    std::uint8_t divisor = 0;    // marks per revolution minus one; 254 is "sign."
    std::uint8_t sensNumber = 0; // index in Sensors
    std::uint16_t AsWord() const { return static_cast<std::uint16_t>(divisor | (sensNumber << 8)); }
    void SetWord(std::uint16_t v)
    {
        divisor = static_cast<std::uint8_t>(v & 0xFF);
        sensNumber = static_cast<std::uint8_t>(v >> 8);
    }
};

struct Ttriad {
    float r = 0, s = 0, k = 0;
};

// The two coefficients (A0, A1) of one harmonic of one blade.
using THarmCoeffs = std::array<float, 2>;

struct TSensor {
    std::string NameSensor;
    std::uint8_t firstbld = 0; // zero-based first blade seen
    std::uint8_t Chan = 0;     // zero-based recorder channel
    TTypeSensor TypeSensor = TTypeSensor::srRoot;
};

struct TPair {
    // configuration
    std::string NamePair;
    std::uint16_t Peak = 0; // index in Sensors of the tip sensor
    std::uint16_t Root = 0; // index in Sensors of the root sensor
    std::uint16_t SkipBlade = 0;
    float Base = 0;
    float TachoShift = 0;
    float reserve = 0;
    float oldreserve = 0;
    float fi = 0;
    std::array<std::uint16_t, 256> NumberBlade{}; // pulse position -> zero-based blade number
    std::array<std::uint16_t, 256> Impuls{};      // blade number -> pulse position
    bool Checked = false;

    // results
    LazyArray<TArrSingle, kMaxBlades> Ampl;
    LazyArray<TArrSingle, kMaxBlades> MiddleLine;
    LazyArray<TArrSingle, kMaxBlades> Velocity;
    LazyArray<TArrSingle, kMaxBlades> Stress;
    LazyArray<TArrSingle, kMaxBlades> ResonanceCurve;
    LazyArray<TArrSingle, kMaxBlades> StallingOscill;
    LazyArray<std::shared_ptr<THistogramm>, kMaxBlades> histgrms;
    // Bytes (0 or 4) by which the blade's Ampl series starts after its block:
    // the series of slot b is Ampl[b] from element AmplOffs[b] / 4 (see AmplSeries).
    LazyArray<std::int32_t, kMaxBlades> AmplOffs;
    LazyArray<std::vector<std::uint32_t>, kMaxBlades> CmprssResnceCurve;
    std::int32_t CountInterval = 0;
    TArrSingle Freq;
    TArrDouble UTS_Time;
    TArrSingle Time;
    std::int32_t Size = 0;
    std::int32_t SizeOfBad = 0;
    LazyArray<double, kMaxBlades> PairResAmplitude;
    LazyArray<float, 256> Mean;
    LazyArray<float, 256> RMS;
    LazyArray<float, 256> lopmin;
    LazyArray<float, 256> lopmax;
    LazyArray<float, 256> Deviation;
    LazyArray<float, 256> Astat;
    LazyArray<float, 256> stStallingOscill;
    LazyArray<float, 256> stStress;
    float MeanInPair = 0;
    float RMSInPair = 0;
    float CalibrMeanInPair = 0;
    float CalibrRMSInPair = 0;
    float Calibre = 0;
    float CalibreOld = 0;
    std::vector<std::int32_t> DngBlades;
    LazyArray<std::int32_t, kMaxBlades> AmplC;

    // The deflection series of blade slot b as the run advanced it (empty
    // when the slot has no block).
    std::span<float> AmplSeries(std::size_t b);
    std::span<const float> AmplSeries(std::size_t b) const;

    // Impuls as the inverse of NumberBlade over the first countBlade positions.
    void RebuildImpuls(std::size_t countBlade);
    // Releases every result series and histogram (AmplOffs back to 0).
    void FreeData();
};

struct TStage {
    // configuration
    std::string NameStage;
    TTypeStage TypeStage = TTypeStage::tsFree;
    double Diametr = 0; // millimetres
    TWaitOfRes FResonance;
    std::uint16_t CountBlade = 0;
    std::uint16_t CountCalibrBlade = 0;
    float CalibrLength = 0;
    std::uint16_t CountPairs = 0;
    TTachoComb TachoComb;
    std::shared_ptr<TCBuff> TimeC;
    std::vector<TPair> Pairs = std::vector<TPair>(kMaxPairs); // always kMaxPairs entries
    bool OrderBlade = false;                                  // false direct, true reverse numbering
    float KfSigma = 0;
    float Q = 0;
    float LimStressResonance = 0;
    float LimStressStill = 0;
    float CfResonance = 0;
    float CfStill = 0;

    // results and working fields
    LazyArray<std::array<std::uint8_t, 234>, kMaxBlades> Resonance;
    LazyArray<double, kMaxBlades> ResAmplitude;
    TMtxDouble Correlation{};
    LazyArray<float, 10001> dDeviation;
    std::int32_t CountHarm = 0;
    LazyArray<std::array<THarmCoeffs, kMaxBlades>, kMaxHarmonics> Harm;
    std::array<Ttriad, kMaxHarmonics> HarmStage{};
    std::array<std::uint16_t, kMaxHarmonics> OrderHarm{};
    PMtxDbl Xnom;
    std::int32_t DangerCount = 0;
    std::int32_t DamageCount = 0;
    std::vector<std::int32_t> DangerNumbrs, DamageNumbrs, DngPairs, DmgPairs;

    // Kind-specific fields. The free-blade set (BIn, BOut) and the shrouded
    // set (Snom, fi, f1) are kept apart here; nothing reads Snom's contents or
    // fi, so sharing their storage would show no difference.
    float BIn = 0;  // inlet angle, degrees
    float BOut = 0; // outlet angle, degrees
    PMtxDbl Snom;
    LazyArray<float, 10001> fi;
    float f1 = 0;

    // Releases the result series of every pair and the Xnom/Snom blocks.
    void FreeData();
};

class TCfgDfm final : public TConfig {
public:
    static constexpr const char *kSignature = "@DFM";

    // Every field zero or empty; defaults come from InitDefault.
    explicit TCfgDfm(std::string Sign = kSignature) : TConfig(std::move(Sign)) {}

    void InitDefault() override;
    void WriteData() override;
    void ReadData() override;

    // Releases all result arrays of all stages and pairs.
    void FreeData();

    std::string FileName;
    std::uint16_t TypeFile = 0; // 0 recording, 1 data files; not persisted
    std::uint16_t CountStage = 0;
    std::vector<TStage> Stages = std::vector<TStage>(kMaxStages); // always kMaxStages entries
    std::uint16_t CountSensors = 0;
    std::array<TSensor, kMaxSensors> Sensors;
    TMode Mode = TMode::mdDynamic;
    double dN = 0;
    double LoTaho = 0, HiTaho = 0;
    std::uint16_t thNumPoint = 0; // low 15 bits points, top bit guard on
    double LoAmpl = 0, HiAmpl = 0;
    std::uint16_t mgNumPoint = 0; // low 15 bits points, top bit guard on
    std::uint16_t Method = 0;     // 0 polynomial, 1 moving average
    float NomRotation = 0;
    float c = 0;
    TRange Range;
    std::string ReportFile;
    TMtxDouble Coeff{};
    TMtxDouble Xt{};
    std::array<double, kMatrixOrder> Xn{};
    std::array<double, kMatrixOrder> Xm{};
    std::int32_t n = 0;
    std::int32_t m = 0;
    float f2 = 0, f3 = 0, f4 = 0, g1 = 0, g2 = 0, g3 = 0, g4 = 0, g5 = 0, h1 = 0, h4 = 0, h5 = 0;
    std::string NmPopravk; // correction coefficients file
    std::string NmSnom;    // offset-drift file
    std::string NmXnom;    // limit-deviation file
    float b1 = 0;
    float b2 = 0;
    std::string NmSnomFree;
    bool RunTahoByBlade = false;
    std::string NmSource;
    std::string NmTarget;
    std::string NmMessage;
    std::string NmHolder;
    std::string NmGates;
    bool UseGates = false;
};

} // namespace vibrolan
