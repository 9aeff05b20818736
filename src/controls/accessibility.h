#pragma once
// How assistive tools see the skin controls: the candy button as a push
// button, the caption label as static text and the progress bar as a progress
// bar with its value. Each control's constructor calls this; it installs once.
namespace controls {
void installAccessibility();
} // namespace controls
