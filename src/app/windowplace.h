#pragma once
// Placing a top-level window in the centre of its screen's free area.
#include <QScreen>
#include <QWidget>

namespace app {

inline void centreOnScreen(QWidget *window)
{
    if (const QScreen *screen = window->screen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
}

} // namespace app
