// The greeting picture shown for a moment at start-up.
#pragma once

#include <QPixmap>

namespace vibrolan::app {

QPixmap GreetingPicture();
// Shows the picture, repaints it, waits `milliseconds` (painting, but not
// taking user input) and closes it.
void ShowGreeting(int milliseconds);

} // namespace vibrolan::app
