#include "config/cfg_validate.hpp"

#include "base/errors.hpp"
#include "base/plain_number.hpp"

#include <algorithm>
#include <cmath>
#include <string>

namespace vibrolan {

namespace {

struct Field {
    const char *name; // as the configuration calls it
    const char *what; // for the user
    double value;
};

std::string quotedName(const std::string &s) { return "\"" + s + "\""; }

void requireFinite(const std::string &where, const Field &f)
{
    if (!std::isfinite(f.value))
        throw ValueError(where + f.what + " (" + f.name + ") must be a finite number, got " +
                         PlainGeneral(f.value) + "; correct it in the configuration");
}

void requirePositive(const std::string &where, const Field &f)
{
    if (!(std::isfinite(f.value) && f.value > 0))
        throw ValueError(where + f.what + " (" + f.name + ") must be a positive number, got " +
                         PlainGeneral(f.value) + "; correct it in the configuration");
}

} // namespace

void CheckNumericFields(const TCfgDfm &cfg)
{
    const std::string general = "the analysis options: ";
    for (const Field &f : {Field{"dN", "the speed step", cfg.dN},
                           Field{"LoTaho", "the rotation guard's low limit", cfg.LoTaho},
                           Field{"HiTaho", "the rotation guard's high limit", cfg.HiTaho},
                           Field{"LoAmpl", "the amplitude guard's low limit", cfg.LoAmpl},
                           Field{"HiAmpl", "the amplitude guard's high limit", cfg.HiAmpl},
                           Field{"NomRotation", "the nominal rotation speed", cfg.NomRotation},
                           Field{"c", "the constant c", cfg.c},
                           Field{"Range._From", "the start of the time range", cfg.Range._From},
                           Field{"Range._To", "the end of the time range", cfg.Range._To},
                           Field{"f2", "the constant f2", cfg.f2},
                           Field{"f3", "the constant f3", cfg.f3},
                           Field{"f4", "the constant f4", cfg.f4},
                           Field{"g1", "the constant g1", cfg.g1},
                           Field{"g2", "the constant g2", cfg.g2},
                           Field{"g3", "the constant g3", cfg.g3},
                           Field{"g4", "the constant g4", cfg.g4},
                           Field{"g5", "the constant g5", cfg.g5},
                           Field{"h1", "the constant h1", cfg.h1},
                           Field{"h4", "the constant h4", cfg.h4},
                           Field{"h5", "the constant h5", cfg.h5},
                           Field{"b1", "the constant b1", cfg.b1},
                           Field{"b2", "the constant b2", cfg.b2}})
        requireFinite(general, f);

    const std::size_t stages = std::min<std::size_t>(cfg.CountStage, kMaxStages);
    for (std::size_t s = 0; s < stages; ++s) {
        const TStage &st = cfg.Stages[s];
        const std::string where = "stage " + std::to_string(s + 1) + " " + quotedName(st.NameStage) + ": ";
        requirePositive(where, {"Diametr", "the diameter in mm", st.Diametr});
        for (const Field &f :
             {Field{"FResonance.Bottom", "the resonance band's bottom", st.FResonance.Bottom},
              Field{"FResonance.DeltaTop", "the resonance band's width", st.FResonance.DeltaTop},
              Field{"CalibrLength", "the calibre", st.CalibrLength},
              Field{"KfSigma", "the stress factor", st.KfSigma}, Field{"Q", "the quality factor", st.Q},
              Field{"LimStressResonance", "the allowed resonance stress", st.LimStressResonance},
              Field{"LimStressStill", "the allowed stall stress", st.LimStressStill},
              Field{"CfResonance", "the resonance factor", st.CfResonance},
              Field{"CfStill", "the stall factor", st.CfStill}, Field{"BIn", "the inlet angle", st.BIn},
              Field{"BOut", "the outlet angle", st.BOut}, Field{"f1", "the natural frequency f1", st.f1}})
            requireFinite(where, f);
        const std::size_t pairs = std::min<std::size_t>(st.CountPairs, kMaxPairs);
        for (std::size_t p = 0; p < pairs; ++p) {
            const TPair &pr = st.Pairs[p];
            if (!pr.Checked)
                continue;
            const std::string at =
                where + "pair " + std::to_string(p + 1) + " " + quotedName(pr.NamePair) + ": ";
            for (const Field &f :
                 {Field{"Base", "the base", pr.Base}, Field{"TachoShift", "the tacho shift", pr.TachoShift},
                  Field{"fi", "the angle fi", pr.fi}, Field{"Calibre", "the calibre", pr.Calibre}})
                requireFinite(at, f);
        }
    }
}

} // namespace vibrolan
