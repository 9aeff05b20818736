#pragma once
// Plain stand-ins for the skin controls, offering only what the windows use:
// a label's Caption, CaptionINColor and MouseDown; a button's Caption, Enabled
// and Click; a picture. The windows reach them through the aliases in skin.h.
#include <QLabel>
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

} // namespace controls
