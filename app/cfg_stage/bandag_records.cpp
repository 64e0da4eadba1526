#include "cfg_stage/bandag_records.hpp"

#include "cfg_stage/stage_kinds.hpp"
#include "cfg_stage/stage_numbers.hpp"

#include <algorithm>

namespace vibrolan::app {

namespace {
const char *const kRefusedCaption = "Ошибка";
} // namespace

TBandagRecords::TBandagRecords(const NumberFormat &regional, MessageSink &messages)
    : regional_(regional), messages_(&messages)
{
}

void TBandagRecords::Load(const TCfgDfm &cfg)
{
    Clear();
    for (const std::uint16_t s : StagesOfKind(cfg, TTypeStage::tsBandag)) {
        const TStage &st = cfg.Stages[s];
        TBandagRecord r;
        r.Stage = s;
        r.Name = st.NameStage;
        r.CountHarm = ClampedHarmonicCount(st.CountHarm);
        r.OrderHarm = st.OrderHarm;
        r.LimStressResonance = st.LimStressResonance;
        r.LimStressStill = st.LimStressStill;
        r.CfResonance = st.CfResonance;
        r.CfStill = st.CfStill;
        r.f1 = st.f1;
        items_.push_back(std::move(r));
    }
}

void TBandagRecords::Store(TCfgDfm &cfg) const
{
    for (const TBandagRecord &r : items_) {
        TStage &st = cfg.Stages.at(r.Stage);
        st.CountHarm = r.CountHarm;
        std::copy_n(r.OrderHarm.begin(), r.CountHarm, st.OrderHarm.begin());
        st.LimStressResonance = r.LimStressResonance;
        st.LimStressStill = r.LimStressStill;
        st.CfResonance = r.CfResonance;
        st.CfStill = r.CfStill;
        st.f1 = r.f1;
    }
}

void TBandagRecords::Clear()
{
    items_.clear();
    selected_ = -1;
    shown_ = {};
}

const TBandagRecord *TBandagRecords::SelectedRecord() const
{
    return selected_ >= 0 ? &items_[static_cast<std::size_t>(selected_)] : nullptr;
}

TStressTexts TBandagRecords::Select(int index)
{
    selected_ = index >= 0 && static_cast<std::size_t>(index) < items_.size() ? index : -1;
    shown_ = {};
    if (const TBandagRecord *r = SelectedRecord()) {
        shown_.LimStressStill = Fixed2Text(r->LimStressStill, regional_);
        shown_.LimStressResonance = Fixed2Text(r->LimStressResonance, regional_);
        shown_.CfStill = Fixed2Text(r->CfStill, regional_);
        shown_.CfResonance = Fixed2Text(r->CfResonance, regional_);
        shown_.f1 = Fixed2Text(r->f1, regional_);
    }
    return shown_;
}

bool TBandagRecords::Set(const TStressTexts &texts)
{
    if (selected_ < 0)
        return false;
    TBandagRecord &r = items_[static_cast<std::size_t>(selected_)];
    struct Field {
        const QString &text;
        const QString &shown;
        float &target;
        const char *caption;
    };
    // The display rounds to 2 decimals: a text the user left as shown keeps
    // the exact value, so pressing "Установить" changes only what was edited.
    const Field fields[] = {
        {texts.LimStressStill, shown_.LimStressStill, r.LimStressStill, "Доп. cрыв."},
        {texts.LimStressResonance, shown_.LimStressResonance, r.LimStressResonance, "Доп. рез."},
        {texts.CfStill, shown_.CfStill, r.CfStill, "g5"},
        {texts.CfResonance, shown_.CfResonance, r.CfResonance, "h5"},
        {texts.f1, shown_.f1, r.f1, "f1, мм"},
    };
    float values[std::size(fields)];
    for (std::size_t i = 0; i < std::size(fields); ++i) {
        const Field &f = fields[i];
        if (f.text == f.shown) {
            values[i] = f.target;
            continue;
        }
        const std::optional<float> v = ReadSingle(f.text, regional_);
        if (!v) {
            Refuse(QStringLiteral("Поле \"%1\": \"%2\" не является числом. Значения ступени не изменены.")
                       .arg(QString::fromUtf8(f.caption), f.text.trimmed()));
            return false;
        }
        values[i] = *v;
    }
    for (std::size_t i = 0; i < std::size(fields); ++i)
        fields[i].target = values[i];
    shown_ = texts;
    return true;
}

bool TBandagRecords::Add(const QString &orderText)
{
    if (selected_ < 0)
        return false;
    TBandagRecord &r = items_[static_cast<std::size_t>(selected_)];
    const std::optional<std::uint16_t> order = ReadOrder(orderText);
    if (!order) {
        Refuse(QStringLiteral("Поле \"Гармоника\": \"%1\" не является целым числом от 0 до 65535. "
                              "Гармоника не добавлена.")
                   .arg(orderText.trimmed()));
        return false;
    }
    if (r.CountHarm >= static_cast<std::int32_t>(kMaxHarmonics)) {
        Refuse(
            QStringLiteral("Ступень уже содержит %1 гармоники, больше задать нельзя. Гармоника не добавлена.")
                .arg(kMaxHarmonics));
        return false;
    }
    r.OrderHarm[static_cast<std::size_t>(r.CountHarm)] = *order;
    ++r.CountHarm;
    return true;
}

bool TBandagRecords::Remove(int row)
{
    if (selected_ < 0)
        return false;
    TBandagRecord &r = items_[static_cast<std::size_t>(selected_)];
    if (row < 0 || row >= r.CountHarm)
        return false;
    const auto first = r.OrderHarm.begin();
    std::copy(first + row + 1, first + r.CountHarm, first + row);
    --r.CountHarm;
    r.OrderHarm[static_cast<std::size_t>(r.CountHarm)] = 0;
    return true;
}

void TBandagRecords::Refuse(const QString &text) const
{
    messages_->show(Message{kRefusedCaption, text.toStdString(), Buttons::Ok, Severity::Error});
}

} // namespace vibrolan::app
