#pragma once
// Plain stand-ins for the skin controls, offering only what the windows use:
// a label's Caption, CaptionINColor and MouseDown; a button's Caption, Enabled
// and Click; a picture. The windows reach them through the aliases in skin.h.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

namespace controls {

class StandInLabel : public QLabel {
    Q_OBJECT
public:
    explicit StandInLabel(QWidget *parent = nullptr);
    QString Caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }
    // Colour reference: red in the low byte.
    void setCaptionINColor(quint32 colorRef);
    void setForeColor(quint32 colorRef) { setCaptionINColor(colorRef); }
    void setPointSize(double points);
    void setAlignmentCode(int alignment); // 0 left, 1 right, 2 centre

signals:
    void MouseDown(int button, int shift, float x, float y);

protected:
    void mousePressEvent(QMouseEvent *event) override;
};

class StandInButton : public QPushButton {
    Q_OBJECT
public:
    explicit StandInButton(QWidget *parent = nullptr);
    QString Caption() const { return text(); }
    void setCaption(const QString &caption) { setText(caption); }

signals:
    void Click();
};

class StandInProgressBar : public QProgressBar {
    Q_OBJECT
public:
    explicit StandInProgressBar(QWidget *parent = nullptr);
    long Max() const { return m_max; }
    long Value() const { return m_value; }
    void setMax(long max);
    void setValue(long value);

private:
    void update();
    long m_max = 100;
    long m_value = 0;
};

} // namespace controls
