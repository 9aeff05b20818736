#pragma once
// The skinned progress bar: a two-band glass track, a bar in the same style,
// a rounded outline and window shape, and an optional text (value, percentage
// or free text) at one of nine places with one of five effects. Colours come
// from a 17-entry palette chosen by Theme (1 to 9 built in, 10 from two custom
// colours). Measures in pixels; every change repaints the whole control.
//
// Typical use by a window:
//     auto *pro = new controls::ProgressBar(QStringLiteral("Pro"), stored, this);
//     pro->setMax(int(size / 10));   // while downloading
//     pro->setValue(int(received / 10));
#include "controls/propertybag.h"
#include "controls/syscolors.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/windowdc.h"

#include <QFont>
#include <QImage>
#include <QWidget>
#include <array>

namespace controls {

class ProgressBar : public QWidget {
    Q_OBJECT
public:
    using Palette = std::array<ColourRef, 17>;

    // A new control (value 50 of 100, theme 1, text "Vorn ProgressBar").
    explicit ProgressBar(QWidget *parent = nullptr, const QString &name = {});
    // A control loaded from its stored properties.
    ProgressBar(const QString &name, const PropertyBag &stored, QWidget *parent = nullptr);
    ~ProgressBar() override;

    // Each key is read and applied through its setter on its own: a key that
    // cannot be read is skipped and the others still load.
    void readProperties(const PropertyBag &bag);
    void writeProperties(PropertyBag &bag) const;

    // ---- properties (setters clamp, notify and repaint) ----
    int value() const { return m_value; }
    void setValue(int v);
    int max() const { return m_max; }
    void setMax(int v);
    int min() const { return m_min; }
    void setMin(int v);
    int roundedValue() const { return m_rounded; }
    void setRoundedValue(int v);
    // "Enabled" is the widget's own enabled state (QWidget::setEnabled).
    bool enabledProperty() const { return !testAttribute(Qt::WA_ForceDisabled); }
    int theme() const { return m_theme; }
    void setTheme(int v);
    int textStyle() const { return m_textStyle; }
    void setTextStyle(int v);
    int orientations() const { return m_orientation; }
    void setOrientations(int v);
    int textAlignment() const { return m_textAlignment; }
    void setTextAlignment(int v);
    QString text() const { return m_text; }
    void setText(const QString &t);
    ColourRef textEffectColor() const { return m_effectColour; }
    void setTextEffectColor(ColourRef c);
    int textEffect() const { return m_textEffect; }
    void setTextEffect(int v);
    ColourRef textForeColor() const { return m_foreColour; }
    void setTextForeColor(ColourRef c);
    QFont textFont() const { return m_textFont; }
    void setTextFont(const QFont &f);
    ColourRef pbsCustomeColor1() const { return m_custom1; }
    void setPBSCustomeColor1(ColourRef c);
    ColourRef pbsCustomeColor2() const { return m_custom2; }
    void setPBSCustomeColor2(ColourRef c);

    // ---- painting operations on any drawing context ----
    // A two-colour linear gradient; Direction 0 left to right, 1 top to bottom.
    // Width and Height are the right and bottom coordinates of the rectangle.
    static void GradientTwoColour(gdi::HDC objectHDC, int direction, ColourRef startColor, ColourRef endColor,
                                  int left, int top, int width, int height);
    // A bilinear gradient between four corner colours over Width x Height
    // pixels at (Left, Top); the last step toward the bottom and right corner
    // colours is not drawn.
    static void DrawGradientFourColour(gdi::HDC objectHDC, int left, int top, int width, int height,
                                       ColourRef topLeftColour, ColourRef topRightColour,
                                       ColourRef bottomLeftColour, ColourRef bottomRightColour);

    // ---- colour rules ----
    static ColourRef ShiftColour(ColourRef c, int amount);
    static ColourRef GreyOf(ColourRef c);
    // The palette of a built-in theme, or of theme 10 from the custom colours;
    // false for any other theme.
    static bool themePalette(int theme, ColourRef custom1, ColourRef custom2, Palette &out);

    // ---- what the last repaint did (for the host and tests) ----
    // Each first paints a face that a new value left pending.
    const Palette &palette() const { return flushFace().m_palette; }
    int lastBarLength() const { return flushFace().m_lastL; }
    int lastBandSplit() const { return flushFace().m_lastM; }
    QString lastText() const { return flushFace().m_lastText; }
    QPoint lastTextPosition() const { return flushFace().m_lastTextPos; }
    QImage faceImage() const { return flushFace().m_image; }
    // The host's font: what a new bar takes and what is not stored.
    QFont ambientFont() const;

    void PaintBar();

signals:
    void propertyChanged(const QString &key);

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void changeEvent(QEvent *) override;

private:
    void init(const QString &name);
    void changed(const char *key);
    void SetThemePalette();
    void DrawBarText(const QString &text, int alignment);
    // Paints the face into the image (the window shape too when reshape is
    // set); false when there is nothing to draw on.
    bool paintFace(bool reshape);
    const ProgressBar &flushFace() const;

    // Each stored property's default, in one place: reading a missing key
    // gives it and writing leaves the key out at it. A new control starts
    // from its own values below (text style 3, effect 5 in white, the text
    // "Vorn ProgressBar"); the text's load default is the instance name.
    struct Defaults {
        static constexpr int max = 100;
        static constexpr int min = 0;
        static constexpr int value = 50;
        static constexpr int roundedValue = 5;
        static constexpr bool enabled = true;
        static constexpr int theme = 1;
        static constexpr int textStyle = 1;
        static constexpr int orientation = 1;
        static constexpr int textAlignment = 5;
        static constexpr ColourRef effectColour = rgbRef(200, 200, 200);
        static constexpr int textEffect = 1;
        static constexpr ColourRef foreColour = rgbRef(0, 0, 0);
        static constexpr ColourRef custom = rgbRef(0, 0, 0);
    };

    int m_value = 50;
    int m_max = 100;
    int m_min = 0;
    int m_rounded = 5;
    int m_theme = 1;
    int m_textStyle = 3;
    int m_orientation = 1;
    int m_textAlignment = 5;
    QString m_text = QStringLiteral("Vorn ProgressBar");
    ColourRef m_effectColour = rgbRef(255, 255, 255);
    int m_textEffect = 5;
    ColourRef m_foreColour = rgbRef(0, 0, 0);
    QFont m_textFont;
    ColourRef m_custom1 = rgbRef(0, 0, 0);
    ColourRef m_custom2 = rgbRef(0, 0, 0);

    // The palette of the last valid theme drawn (all black before any).
    Palette m_palette{};
    int m_lastL = 0;
    int m_lastM = 0;
    QString m_lastText;
    QPoint m_lastTextPos;
    bool m_loading = false;
    gdi::WindowDC *m_face = nullptr;
    QImage m_image; // the face as last painted, shown on paint
    bool m_facePending = false; // a new value waits for the next paint
};

} // namespace controls
