// Number texts of the stage editors: how a Single value is shown in the
// general, the fixed 2-decimal and the 5-digit 1-decimal forms, and how an
// editor's text is read back into a Single or a harmonic order.
#pragma once

#include "base/number_format.hpp"

#include <QString>

#include <cstdint>
#include <optional>

namespace vibrolan::app {

// The shortest general text that reads back as the same Single ("0.3", not
// the digits of its double widening).
QString SingleText(float v, const NumberFormat &fmt);
// Fixed point with 2 decimals (the shrouded editor's per-stage values).
QString Fixed2Text(float v, const NumberFormat &fmt);
// 5 significant digits, 1 decimal (the free editor's angles, b1 and b2).
QString Fixed5x1Text(float v, const NumberFormat &fmt);

// The value of `text` as a Single, written with "." or the format's
// separator; nothing for an empty text, a text that is no number, or a value
// a Single cannot hold. A group separator is never accepted.
std::optional<float> ReadSingle(const QString &text, const NumberFormat &fmt);
// ReadSingle, 0 when it gives nothing (the editors' OK reading).
float ReadSingleOrZero(const QString &text, const NumberFormat &fmt);
// A harmonic order: an integer 0 … 65535 (blanks around it allowed).
std::optional<std::uint16_t> ReadOrder(const QString &text);

} // namespace vibrolan::app
