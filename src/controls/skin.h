#pragma once
// The skin controls the windows place. Windows name only these aliases, so
// replacing a stand-in with the real control touches nothing else.
#include "controls/standins.h"

namespace controls {
using SkinLabel = StandInLabel;
using SkinButton = StandInButton;
using SkinProgressBar = StandInProgressBar;
} // namespace controls
