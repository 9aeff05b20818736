#pragma once
// A visible mark around whichever of a set of controls has the keyboard
// focus. The player's buttons are drawn on the bar's picture under invisible
// spots, and its images draw no focus of their own: this mark, laid over
// them, shows where Tab has gone.
#include <QPointer>
#include <QWidget>

namespace download {

class FocusMark : public QWidget {
    Q_OBJECT
public:
    explicit FocusMark(QWidget *window);
    // control must be a child of the window.
    void watch(QWidget *control);
    QWidget *target() const { return isVisible() ? m_target.data() : nullptr; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void follow(QWidget *control);
    QPointer<QWidget> m_target;
};

} // namespace download
