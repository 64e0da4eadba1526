// The row commands of the general configuration dialog on the picture:
// adding, changing and deleting stages, sensors and pairs (with their limits
// and protections) and editing a pair's blade numbering. Every refusal is
// told through the message sink; a refused command leaves the picture as it was.
#pragma once

#include "base/message_sink.hpp"
#include "base/number_format.hpp"
#include "cfg_general/cfg_picture.hpp"

namespace vibrolan::app {

// The texts of the stage editors.
struct StageEditors {
    QString name, blades, calibrBlades, diameter, kind, direction, kfSigma, tacho, divisor, resBottom, resTop,
        calibre;
};
PictureRow StageRowFromEditors(const StageEditors &e);
StageEditors StageEditorsFromRow(const PictureRow &row);

bool AddStage(CfgPicture &p, const StageEditors &e, const NumberFormat &fs, MessageSink &messages);
// Rewrites row `row`. When the name or the blade count changes, the pairs of
// the stage move to the new name and their numbering becomes 1 ... N.
bool ChangeStage(CfgPicture &p, int row, const StageEditors &e, const NumberFormat &fs,
                 MessageSink &messages);
bool StageHasPairs(const CfgPicture &p, int row);
// Only a stage without pairs can be deleted.
bool DeleteStage(CfgPicture &p, int row);

struct SensorEditors {
    QString name, channel, kind, first;
};
PictureRow SensorRowFromEditors(const SensorEditors &e);

// Refused at 96 rows; an empty name is ignored (false without a message).
bool AddSensor(CfgPicture &p, const SensorEditors &e, MessageSink &messages);
bool ChangeSensor(CfgPicture &p, int row, const SensorEditors &e, MessageSink &messages);
bool DeleteSensor(CfgPicture &p, int row);

// What protects a sensor that stages or pairs refer to.
struct SensorGuard {
    bool locked = false;   // neither editing nor deleting
    bool isTacho = false;  // some stage's tacho sensor: first blade 1
    int maxFirstBlade = 0; // root or tip of a pair: at most that stage's blade count (0: no limit)
};
SensorGuard GuardOfSensor(const CfgPicture &p, int row);
// The guard, with the row's first blade brought within it.
SensorGuard ApplySensorGuard(CfgPicture &p, int row);

struct PairEditors {
    QString name, root, peak, stage, skip, base, tachoShift, fi;
    bool checked = true;
};
PairRow PairRowFromEditors(const PairEditors &e);
PairEditors PairEditorsFromRow(const PairRow &row);

// Refused at 16 pair rows. The new pair's numbering follows its angle and
// the stage's counting direction.
bool AddPair(CfgPicture &p, const PairEditors &e, const NumberFormat &fs, MessageSink &messages);
// A pair moved to a stage whose blade count differs from its list gets the
// numbering of a new pair there.
bool ChangePair(CfgPicture &p, int row, const PairEditors &e, const NumberFormat &fs, MessageSink &messages);
bool DeletePair(CfgPicture &p, int row);

// Sets position `position` of the pair's list; the blade number must be a
// whole number from 1 to the list's length.
bool SetBladeNumber(PairRow &pair, int position, const QString &text, MessageSink &messages);

// The limit texts.
Message LimitMessage(int count, const QString &suffix);

} // namespace vibrolan::app
