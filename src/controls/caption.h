#pragma once
// The text label of the skinned windows: one line of text with a one-pixel
// outline, an optional grey shadow, background gradient and 3D frame,
// horizontal or one character per row, see-through wherever its back colour
// remains. Geometry inside the label is in twips (15 twips = 1 pixel).
//
// Typical use by a window:
//     auto *cap = new controls::Caption(this, "capTime");    // new-control values
//     cap->readProperties(*definition.properties(u"capTime")); // or stored ones
//     cap->setCaption(u"12:00"_s);
//     connect(cap, &controls::Caption::MouseDown, ...);
#include "controls/propertybag.h"
#include "controls/syscolors.h"
#include "platform/gdi/windowdc.h"

#include <QFont>
#include <QImage>
#include <QWidget>

namespace controls {

class CaptionPictureElement;

class Caption : public QWidget {
    Q_OBJECT
public:
    static constexpr int kTwipsPerPixel = 15;

    // A new control: the caption is its instance name, the font its host's.
    explicit Caption(QWidget *parent = nullptr, const QString &name = {});
    // A control loaded from its stored properties.
    Caption(const QString &name, const PropertyBag &stored, QWidget *parent = nullptr);
    ~Caption() override;

    void readProperties(const PropertyBag &bag);
    void writeProperties(PropertyBag &bag) const;

    // ---- properties (each setter notifies and redraws) ----
    QString caption() const { return m_caption; }
    void setCaption(const QString &text);
    int borders() const { return m_borders; }
    void setBorders(int value);
    bool isTransparent() const { return m_transparent; }
    void setTransparent(bool on);
    bool autoSize() const { return m_autoSize; }
    void setAutoSize(bool on);
    // "Font" is the widget's font (font()/setFont()); a label whose font was
    // never set follows its host's.
    ColourRef backColor() const { return m_backColor; }
    void setBackColor(ColourRef c);
    ColourRef captionINColor() const { return m_inColor; }
    void setCaptionINColor(ColourRef c);
    ColourRef captionOUTColor() const { return m_outColor; }
    void setCaptionOUTColor(ColourRef c);
    bool captionTransparent() const { return m_captionTransparent; }
    void setCaptionTransparent(bool on);
    bool captionOutlined() const { return m_outlined; }
    void setCaptionOutlined(bool on);
    bool displayVertikal() const { return m_vertical; }
    void setDisplayVertikal(bool on);
    int displayType() const { return m_displayType; }
    void setDisplayType(int type);
    QByteArray mouseIcon() const { return m_mouseIcon; }
    void setMouseIcon(const QByteArray &picture);
    int mousePointer() const { return m_mousePointer; }
    void setMousePointer(int pointer);
    ColourRef captionGradientStart() const { return m_gradStart; }
    void setCaptionGradientStart(ColourRef c);
    ColourRef captionGradientEnds() const { return m_gradEnds; }
    void setCaptionGradientEnds(ColourRef c);
    bool captionGradientchangeColor() const { return m_gradSwap; }
    void setCaptionGradientchangeColor(bool on);
    int captionGradientTyp() const { return m_gradType; }
    void setCaptionGradientTyp(int type);
    // Stored "Enabled"; QWidget::setEnabled changes it (and redraws).
    bool enabledProperty() const { return !testAttribute(Qt::WA_ForceDisabled); }
    int captionAligmend() const { return m_align; }
    void setCaptionAligmend(int align);
    bool captionShadowed() const { return m_shadowed; }
    void setCaptionShadowed(bool on);
    QByteArray captionPicture() const { return m_picture; }
    void setCaptionPicture(const QByteArray &picture);
    // Free text for the host; not stored, no effect.
    QString conLinkKey() const { return m_linkKey; }
    void setConLinkKey(const QString &key) { m_linkKey = key; }

    // ---- methods ----
    // Width and height of a text in the label's font in twips, plus the
    // outline allowance while outlined.
    int TextWidth(const QString &text) const;
    int TextHeight(const QString &text) const;
    void Refresh();

    // The rendered face (the control's size) and the four margins in twips.
    QImage faceImage() const;
    QMargins marginsTwips() const { return QMargins(m_mL, m_mT, m_mR, m_mB); }
    // The picture element (null rectangle when no picture is shown).
    QRect pictureRect() const;

    // The host's font: what a new label takes and what is not stored.
    QFont ambientFont() const;

signals:
    // Button: 1 left, 2 right, 4 middle; Shift: 1 shift, 2 control, 4 alt;
    // X, Y in twips in the label's coordinates.
    void MouseDown(int button, int shift, float x, float y);
    void MouseMove(int button, int shift, float x, float y);
    void MouseUp(int button, int shift, float x, float y);
    void Click();
    void DblClick();
    // A stored property changed (the host marks its definition dirty).
    void propertyChanged(const QString &key);

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void changeEvent(QEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void mouseDoubleClickEvent(QMouseEvent *) override;

private:
    friend class CaptionPictureElement;
    void init(const QString &name);
    void changed(const char *key);
    void redraw();
    void fitToContent();
    void applyPointer();
    void loadPicture();
    // Drawing steps, positions in twips.
    void drawCaption();
    void drawTextAt(const QString &text, double x, double y);
    void drawBorders();
    void fillGradient();
    void textOut(const QString &text, double x, double y, ColourRef colour);
    QSize textSizeTwips(const QString &text) const;
    void updateShape();
    // Mouse events from this widget or, translated, from the picture element.
    void mouseFrom(QMouseEvent *e, QPoint offset, int kind);

    // Each stored property's default, in one place: a new control starts with
    // it, reading a missing key gives it, and writing leaves the key out at it.
    struct Defaults {
        static constexpr int borders = 0;
        static constexpr bool transparent = true;
        static constexpr bool autoSize = false;
        static constexpr ColourRef backColor = systemColourRef(SysButtonFace);
        static constexpr ColourRef inColor = rgbRef(255, 255, 255);
        static constexpr ColourRef outColor = rgbRef(0, 0, 0);
        static constexpr bool captionTransparent = false;
        static constexpr bool outlined = true;
        static constexpr bool vertical = false;
        static constexpr int displayType = 0;
        static constexpr int mousePointer = 0;
        static constexpr ColourRef gradStart = rgbRef(255, 255, 255);
        static constexpr ColourRef gradEnds = rgbRef(64, 64, 64);
        static constexpr bool gradSwap = false;
        static constexpr int gradType = 0;
        static constexpr bool enabled = true;
        static constexpr int align = 0;
        static constexpr bool shadowed = false;
        static QString caption() { return QStringLiteral("0"); }
    };

    QString m_caption = Defaults::caption();
    int m_borders = Defaults::borders;
    bool m_transparent = Defaults::transparent;
    bool m_autoSize = Defaults::autoSize;
    ColourRef m_backColor = Defaults::backColor;
    ColourRef m_inColor = Defaults::inColor;
    ColourRef m_outColor = Defaults::outColor;
    ColourRef m_foreColor = Defaults::inColor;
    bool m_captionTransparent = Defaults::captionTransparent;
    bool m_outlined = Defaults::outlined;
    bool m_vertical = Defaults::vertical;
    int m_displayType = Defaults::displayType;
    QByteArray m_mouseIcon;
    int m_mousePointer = Defaults::mousePointer;
    ColourRef m_gradStart = Defaults::gradStart;
    ColourRef m_gradEnds = Defaults::gradEnds;
    bool m_gradSwap = Defaults::gradSwap;
    int m_gradType = Defaults::gradType;
    int m_align = Defaults::align;
    bool m_shadowed = Defaults::shadowed;
    QByteArray m_picture;
    QString m_linkKey;

    int m_mL = 0, m_mT = 0, m_mR = 0, m_mB = 0;   // margins, twips
    int m_allowance = 30;                         // outline allowance, twips
    int m_widestChar = 0, m_charHeights = 0;      // vertical display, twips
    bool m_fitting = false;
    bool m_afterDoubleClick = false;

    gdi::WindowDC *m_face = nullptr;                 // the persistent drawing surface
    gdi::HDC m_measureDC = 0;                     // text measuring while no image exists
    QImage m_image;                               // its pixels as last drawn, shown on paint
    CaptionPictureElement *m_iconIm = nullptr;    // the picture element "IconIm"
};

} // namespace controls
