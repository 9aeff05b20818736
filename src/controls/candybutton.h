#pragma once
// CandyButton: the owner-drawn push button of the windows. Eight looks
// (Style), five face states, rounded window shapes for the glossy looks, an
// optional picture beside or above the caption, click and mouse events.
// Hover comes through the window message hooks (mouse move plus a mouse-leave
// request); the shape is reapplied ahead of every paint through the same hook.
//
// The widget keeps the state, the painters draw the face into an off-screen
// image of the control's size through the drawing layer, and paintEvent shows
// that image.
#include "controls/propertybag.h"
#include "controls/subclass.h"
#include "controls/syscolors.h"
#include "platform/gdi/gdi.h"
#include "platform/gdi/windowdc.h"

#include <QByteArray>
#include <QImage>
#include <QRegion>
#include <QWidget>
#include <optional>

namespace controls {

class CandyButton : public QWidget, public HookOwner {
    Q_OBJECT
public:
    enum ButtonState { StateUp = 0, StateDown = 1, StateFocused = 2, StateHover = 3, StateChecked = 4 };

    explicit CandyButton(QWidget *parent = nullptr);
    ~CandyButton() override;

    // Stored properties, under their keys (compared without regard to case).
    void ReadProperties(const PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    QString Caption() const { return m_caption; }
    void setCaption(const QString &caption);
    ColourRef ForeColor() const { return m_foreColor; }
    void setForeColor(ColourRef c);
    // Enabled and Font are the widget's own (setEnabled, setFont).
    bool Enabled() const { return isEnabled(); }
    QFont Font() const { return font(); }
    // Picture: encoded bytes (BMP, PNG, ICO...); an icon draws as an icon.
    QByteArray Picture() const { return m_pictureBytes; }
    void setPicture(const QByteArray &bytes);
    int PictureAlignment() const { return m_pictureAlignment; }
    void setPictureAlignment(int a);
    int Style() const { return m_style; }
    void setStyle(int style);
    using QWidget::setStyle;
    bool Checked() const { return m_checked; }
    void setChecked(bool c);
    int ColorScheme() const { return m_colorScheme; }
    void setColorScheme(int scheme);
    ColourRef ColorButtonUp() const { return m_colorUp; }
    void setColorButtonUp(ColourRef c);
    ColourRef ColorButtonHover() const { return m_colorHover; }
    void setColorButtonHover(ColourRef c);
    ColourRef ColorButtonDown() const { return m_colorDown; }
    void setColorButtonDown(ColourRef c);
    ColourRef ColorBright() const { return m_colorBright; }
    void setColorBright(ColourRef c);
    int BorderBrightness() const { return m_borderBrightness; }
    void setBorderBrightness(int b);
    bool IconHighLite() const { return m_iconHighLite; }
    void setIconHighLite(bool v);
    ColourRef IconHighLiteColor() const { return m_iconHighLiteColor; }
    void setIconHighLiteColor(ColourRef c);
    bool CaptionHighLite() const { return m_captionHighLite; }
    void setCaptionHighLite(bool v);
    ColourRef CaptionHighLiteColor() const { return m_captionHighLiteColor; }
    void setCaptionHighLiteColor(ColourRef c);
    bool DisplayHand() const { return m_displayHand; }
    void setDisplayHand(bool v);

    // Redraws the face in a state (checked overrides it); nothing before the
    // control is ready.
    void DrawButton(int state);
    // Places and draws the picture and caption for a face state.
    void DrawIconWCaption(int vState);
    // The colour Percentage percent of the way from Color1 to Color2.
    static ColourRef BlendColors(ColourRef Color1, ColourRef Color2, int Percentage);
    static void GetRGB(int &r, int &g, int &b, ColourRef Color);

    // Corner radius of a style's window shape (0 for the rectangular styles).
    static int cornerRadius(int style, int width, int height);
    // Pixel test of the rounded shape with origin (x0, y0), size wd x hd, radius r.
    static bool InShape(int x, int y, int x0, int y0, int wd, int hd, int r);
    // The pixels of (0, 0)-(x0 + wd, y0 + hd) that pass InShape.
    static QRegion shapeRegion(int x0, int y0, int wd, int hd, int r);

    // Shine and glow parameters of a candy style (2, 3, 4, 5, 7).
    struct CandyParams {
        int shineStrength, shineLeft, shineTop, shineRight, shineBottom, shineCorner;
        int glowWidthPct, glowHeightPct, glowCentreX, glowCentreY, glowStep;
    };
    static std::optional<CandyParams> candyParams(int style, int w, int h, int r);

    // Last drawn face, the current radius (0 before any) and the hover flag.
    QImage faceImage() const { return m_face; }
    int radius() const { return m_radius; }
    bool isOver() const { return m_over; }
    bool isHooked() const { return m_hooked; }

    // The hook service's callback: hover, leave and reshaping.
    QString hookTypeName() const override { return QStringLiteral("CandyButton"); }
    void HookCallback(bool before, bool &handled, qint32 &result, QWidget *window, int message, qint64 wParam,
                      qint64 lParam, qint32 &userValue) override;

signals:
    void Click();
    void DblClick();
    void MouseEnter();
    void MouseLeave();
    void MouseMove(int Button, int Shift, int X, int Y);
    void MouseUp(int Button, int Shift, int X, int Y);
    void MouseDown(int Button, int Shift, int X, int Y);
    // The host's stored properties are out of date.
    void PropertyChanged();

protected:
    void paintEvent(QPaintEvent *e) override;
    void resizeEvent(QResizeEvent *e) override;
    void showEvent(QShowEvent *e) override;
    void changeEvent(QEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;

private:
    void ApplyShape();
    void startHooks();
    void handleMouseDown(int button, int shift, int x, int y);
    void handleMouseUp(int button, int shift, int x, int y);
    void colourChanged(ColourRef &field, ColourRef value);
    void notifyChanged();
    void releaseInnerShape();
    std::optional<ColourRef> hostBackColor() const;
    void paintClassic(int state);
    void paintFlat(int state);
    void paintCandy(int state);
    void paintGlow(ColourRef base, ColourRef bright, const CandyParams &p);
    void paintGel(int state);
    ColourRef baseColour(int state) const;
    void drawPicture(int state, int x, int y, int w, int h);
    void loadPicture();
    void releasePicture();

    // Each stored property's default, in one place: a new control starts with
    // it, reading a missing key gives it, and writing leaves the key out at it.
    struct Defaults {
        static constexpr ColourRef foreColor = 0;
        static constexpr int pictureAlignment = 0;
        static constexpr int style = 0;
        static constexpr bool checked = false;
        static constexpr int colorScheme = 0;
        static constexpr ColourRef colorUp = 15309136;
        static constexpr ColourRef colorHover = 0xFFC090;
        static constexpr ColourRef colorDown = 15309136;
        static constexpr ColourRef colorBright = 0xFFEDB0;
        static constexpr int borderBrightness = 0;
        static constexpr bool iconHighLite = false;
        static constexpr ColourRef iconHighLiteColor = 65280;
        static constexpr bool captionHighLite = false;
        static constexpr ColourRef captionHighLiteColor = 65280;
        static constexpr bool displayHand = false;
        static constexpr bool enabled = true;
        static QString caption() { return QStringLiteral("CandyButton"); }
    };

    // Properties
    QString m_caption = Defaults::caption();
    ColourRef m_foreColor = Defaults::foreColor;
    QByteArray m_pictureBytes;
    int m_pictureAlignment = Defaults::pictureAlignment;
    int m_style = Defaults::style;
    bool m_checked = Defaults::checked;
    int m_colorScheme = Defaults::colorScheme;
    ColourRef m_colorUp = Defaults::colorUp;
    ColourRef m_colorHover = Defaults::colorHover;
    ColourRef m_colorDown = Defaults::colorDown;
    ColourRef m_colorBright = Defaults::colorBright;
    int m_borderBrightness = Defaults::borderBrightness;
    bool m_iconHighLite = Defaults::iconHighLite;
    ColourRef m_iconHighLiteColor = Defaults::iconHighLiteColor;
    bool m_captionHighLite = Defaults::captionHighLite;
    ColourRef m_captionHighLiteColor = Defaults::captionHighLiteColor;
    bool m_displayHand = Defaults::displayHand;

    // State
    bool m_ready = false;
    bool m_over = false;
    bool m_focused = false;
    bool m_enterDown = false; // an Enter press arrived here and its release has not
    bool m_afterDoubleClick = false;
    int m_radius = 0;
    bool m_hooked = false;
    SubclassService m_hooks{this};

    // Drawing: the window's drawing context, an image of the control's size
    // first filled with what lies behind it; paintEvent shows it.
    gdi::WindowDC m_wdc{this, false};
    gdi::HDC m_dc = 0;
    int m_surfaceW = 0;
    int m_surfaceH = 0;
    gdi::HRGN m_innerShape = 0;
    QRegion m_shape;
    gdi::HGDIOBJ m_picture = 0; // bitmap or icon handle
    bool m_pictureIsIcon = false;
    int m_pictureW = 0;
    int m_pictureH = 0;
    QImage m_face;
};

// The look every button of the program's windows shares: style 3, colour
// scheme 1, white caption in Tahoma 9 pt. A window changes what differs (the
// search button's caption highlight colour, the small "..." button's style 7).
class WindowButton : public CandyButton {
    Q_OBJECT
public:
    explicit WindowButton(QWidget *parent = nullptr);
};

} // namespace controls
