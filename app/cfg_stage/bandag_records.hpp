// The working records of the shrouded-stage editor: one per shrouded stage,
// made from the configuration when the editor opens, changed by its commands
// and copied back only by OK.
#pragma once

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "config/cfg_dfm.hpp"

#include <QString>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vibrolan::app {

struct TBandagRecord {
    std::uint16_t Stage = 0; // index in TCfgDfm::Stages
    std::string Name;        // the stage's name, for the selector
    std::int32_t CountHarm = 0;
    std::array<std::uint16_t, kMaxHarmonics> OrderHarm{};
    float LimStressResonance = 0;
    float LimStressStill = 0;
    float CfResonance = 0;
    float CfStill = 0;
    float f1 = 0;
};

// The five per-stage values as the editors "Доп. cрыв. : ", "Доп. рез. : ",
// "g5 : ", "h5 : " and "f1, мм :  " hold them.
struct TStressTexts {
    QString LimStressStill;
    QString LimStressResonance;
    QString CfStill;
    QString CfResonance;
    QString f1;
};

class TBandagRecords {
public:
    // `regional` is the format of the selection display and of "Установить".
    TBandagRecords(const NumberFormat &regional, MessageSink &messages);

    // One record per shrouded stage among the configured ones, in stage order; none selected.
    void Load(const TCfgDfm &cfg);
    // Copies every record into its stage: CountHarm, the first CountHarm
    // orders, the two limits, the two coefficients and f1.
    void Store(TCfgDfm &cfg) const;
    void Clear();

    const std::vector<TBandagRecord> &Items() const { return items_; }
    int Selected() const { return selected_; }
    const TBandagRecord *SelectedRecord() const;

    // Selects record `index` (-1 or out of range: none) and gives its five
    // values in fixed-point notation with 2 decimals and the regional separator.
    TStressTexts Select(int index);
    // "Установить": stores the five texts into the selected record. A text
    // left as Select showed it keeps the record's exact value. Any text that
    // is no number refuses the whole command with a message naming the
    // field; the record keeps its values. False also when nothing is selected.
    bool Set(const TStressTexts &texts);
    // "Добавить ": appends the order (an integer 0 … 65535) to the selected
    // record; refused with a message for other texts or when the record
    // already holds kMaxHarmonics orders.
    bool Add(const QString &orderText);
    // "Удалить": removes harmonic `row` of the selected record, later ones
    // move up; nothing happens for a row outside the list.
    bool Remove(int row);

private:
    void Refuse(const QString &text) const;

    NumberFormat regional_;
    MessageSink *messages_;
    std::vector<TBandagRecord> items_;
    int selected_ = -1;
    TStressTexts shown_;
};

} // namespace vibrolan::app
