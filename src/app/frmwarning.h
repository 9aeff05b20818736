#pragma once
// The usage notice: a small fixed window whose caption says that closing it
// means agreeing. It has no button; closing it stores the agreement, hands
// over to the next window (the main window) and unloads itself.
#include "controls/skin.h"

#include <QLabel>
#include <QWidget>
#include <functional>

namespace app {

class frmWarning : public QWidget {
    Q_OBJECT
public:
    // next runs once, when the notice closes.
    explicit frmWarning(std::function<void()> next = {}, QWidget *parent = nullptr);

    // Shows the notice centred on the screen.
    void Load();

    controls::SkinImage *aicAlphaImage1 = nullptr; // the program's icon
    controls::SkinLabel *lblNotice1 = nullptr;
    controls::SkinLabel *lblNotice2 = nullptr;
    controls::SkinLabel *lblNotice3 = nullptr;
    QLabel *picBack = nullptr;
    QLabel *picLower = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    std::function<void()> m_next;
    bool m_closed = false;
};

} // namespace app
