#pragma once
// The alpha image control: one image with per-pixel transparency drawn over
// whatever lies behind it on its window, laid out, scaled, turned, mirrored,
// greyed, inverted, colour-keyed, shadowed and faded, hit-tested by the shape
// of its visible pixels, with mouse enter and exit events, and persisted in
// the property bag (the image bytes plus the settings).
//
//   auto *icon = new controls::aicAlphaImage(window);        // new-control values
//   icon->setGeometry(24, 24, 48, 48);
//   icon->ReadProperties(*definition.properties(u"logo"));    // or stored ones
//   connect(icon, &controls::aicAlphaImage::Click, ...);
//
// The control's unit is the pixel. The working image holds the decoded image
// with Mirror, the mask and InversedImage applied to its pixels; rotation,
// scaling, grey scale, opacity and the offsets are applied when drawing.
// The mouse-over registry and fades live in alphaimage_tracking.cpp.
#include "controls/propertybag.h"
#include "imaging/c32bppDIB.h"
#include "platform/gdi/gdi.h"
#include "platform/picture/picture.h"

#include <QImage>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace controls {

class aicAlphaImage : public QWidget {
    Q_OBJECT
public:
    // How the image fits the control (the ScaleMethod property).
    enum ImageScaleMethod {
        ScaleMethodFit = 0,
        ScaleMethodStretch = 1,
        ScaleMethodShrinkToFit = 2,
        ScaleMethodActual = 3,
        ScaleMethodFixed = 4,
    };
    // The flag word ("Props" without CacheActive).
    enum Flag : int {
        flagStretchQuality = 1,
        flagAutoSize = 4,
        flagAutoRedraw = 8,
        flagKeepOriginalFormat = 16,
        flagCacheActive = 32,
        flagInversedImage = 64,
        flagShadowEnabled = 128,
        flagRotates = 256,
    };

    // A new control (InitProperties). runMode false makes it a control on a
    // form being designed: no tracking, no cache, checkerboard when empty.
    explicit aicAlphaImage(QWidget *parent = nullptr, bool runMode = true);
    ~aicAlphaImage() override;

    void InitProperties();
    void ReadProperties(const PropertyBag &bag);
    // Not const: a bitmap-family image is returned to its loaded state to be
    // encoded (see the .cpp).
    void WriteProperties(PropertyBag &bag);

    // ---- properties (setters notify through propertyChanged) ----
    bool AutoRedraw() const { return m_flags & flagAutoRedraw; }
    void setAutoRedraw(bool Enable);
    int HitTest() const { return m_hitTest; }
    void setHitTest(int Style);
    std::uint32_t MaskColor() const { return m_maskColor; }
    void setMaskColor(std::uint32_t Color);
    int MaskUsed() const { return m_maskSource; }
    void setMaskUsed(int Style);
    bool InversedImage() const { return m_flags & flagInversedImage; }
    void setInversedImage(bool Inverse);
    bool AutoSize() const { return m_flags & flagAutoSize; }
    void setAutoSize(bool Value);
    int ScaleMethod() const { return m_scaleMethod; }
    void setScaleMethod(int Method);
    bool StretchQuality() const { return m_flags & flagStretchQuality; }
    void setStretchQuality(bool highQuality);
    int Opacity() const { return m_opacity; }
    void setOpacity(int Opaqueness);
    int Mirror() const { return m_mirror; }
    void setMirror(int MirrorType);
    bool KeepOriginalFormat() const { return m_flags & flagKeepOriginalFormat; }
    void setKeepOriginalFormat(bool Keep);
    int grayScale() const { return m_grayFormula + 1; }
    void setGrayScale(int Style);
    bool Rotates() const { return m_flags & flagRotates; }
    void setRotates(bool canRotate);
    int Rotation() const { return m_rotation; }
    void setRotation(int newAngle);
    bool Enabled() const { return isEnabled(); }
    void setEnabledProperty(bool Enable);
    bool ShadowEnabled() const { return m_flags & flagShadowEnabled; }
    void setShadowEnabled(bool Enable);
    std::uint32_t ShadowColor() const { return m_shadowColor; }
    void setShadowColor(std::uint32_t Color);
    int ShadowOffsetX() const { return m_shadowX; }
    void setShadowOffsetX(int OffSet);
    int ShadowOffsetY() const { return m_shadowY; }
    void setShadowOffsetY(int OffSet);
    int ShadowDepth() const { return m_shadowDepth; }
    void setShadowDepth(int Depth);
    int ShadowOpacity() const { return m_shadowOpacity; }
    void setShadowOpacity(int Opaqueness);
    int MousePointer() const { return m_mousePointer; }
    void setMousePointer(int Pointer);
    QByteArray MouseIcon() const { return m_mouseIcon; }
    void setMouseIcon(const QByteArray &Icon);
    int OLEDropMode() const { return m_oleDropMode; }
    void setOLEDropMode(int Value);
    std::uint32_t GDIplusToken() const { return m_image.gdiToken(); }
    void setGDIplusToken(std::uint32_t token);
    int ImageType() const;
    // The host's free text; reads "Timer" exactly while the tracking timer runs.
    QString Tag() const { return m_tag; }
    void setTag(const QString &tag) { m_tag = tag; }

    // ---- methods ----
    void ClearImage();
    void Refresh();
    bool LoadImage_FromArray(imaging::ByteArray &inStream, int desiredIconWidth = 0, int desiredIconHeight = 0,
                             int desiredIconBitDepth = 0);
    bool LoadImage_FromFile(const QString &FileName, int desiredIconWidth = 0, int desiredIconHeight = 0,
                            int desiredIconBitDepth = 0);
    bool LoadImage_FromStdPicture(const platform::Picture &stdPic);
    bool LoadImage_FromClipboard();
    bool LoadImage_FromHandle(gdi::HGDIOBJ Handle);
    bool LoadImage_FromResource(const platform::ResourceModule *VBglobal, const QVariant &ResSection,
                                const QVariant &ResID, int desiredIconWidth = 0, int desiredIconHeight = 0,
                                int desiredIconBitDepth = 0);
    bool LoadImage_FromOrignalBytes(int desiredIconWidth = 0, int desiredIconHeight = 0, int desiredIconBitDepth = 0);
    bool GetImageBytes(imaging::ByteArray &imgBytes, int &scanWidth, bool asArray2D = false, bool asBGRformat = true,
                       bool asBottomUp = false, bool asPreMultiplied = false, bool asFileFormat = false);
    bool SetImageBytes(const imaging::ByteArray &imgBytes, bool isBGRformat = true, bool isBottomUp = false);
    void GetImageScales(int &Width, int &Height, int ScaleMethod = -1, int desiredWidth = 0, int desiredHeight = 0,
                        bool asRotatedImage = false) const;
    void OffsetShadow(int x, int Y);
    void OffsetImage(bool SetOffsets, int &x, int &Y, int &ShadowX, int &ShadowY);
    // Mouse tracking and fades (alphaimage_tracking.cpp).
    bool isMouseOver() const;
    void FadeInOut(int FinalOpacity, int FadeStepPercent = 10, int FadeDelayInterval = 30);

    // ---- for the property page ----
    bool GetSourceBytes(imaging::ByteArray &bytes) const;
    bool LoadSourceBytes(imaging::ByteArray &bytes, int iconWidth, int iconHeight, int iconBitDepth);
    imaging::c32bppDIB &GetSourceSurface() { return m_image; }
    const imaging::c32bppDIB &GetSourceSurface() const { return m_image; }
    // The icon entry (width, height, bits per pixel) that LoadSourceBytes chose
    // in an icon or cursor file; all 0 when none was chosen. It is stored as
    // "IconWidth", "IconHeight", "IconDepth" and picks the entry again when the
    // properties are read, instead of the entry nearest the control's size.
    QSize storedIconSize() const { return QSize(m_iconCx, m_iconCy); }
    int storedIconDepth() const { return m_iconBits; }

    // ---- the host side ----
    bool runMode() const { return m_runMode; }
    // The hit-test query: whether (X, Y) in control pixels hits the control
    // (3) or not (0); at run time it also moves the mouse-over state.
    int HitTestQuery(double X, double Y, int proposed = 0);
    // Whether (x, y) lies in the hit area, without side effects.
    bool inHitArea(int x, int y) const;
    // The hit area: a region (0 when none) or else the rectangle.
    gdi::HRGN hitRegion() const { return m_hitRegion; }
    gdi::RECT hitRect() const { return m_hitRect; }
    // The layout and what was last painted (the window's pixels, opaque).
    QRect drawRect() const { return QRect(m_drawX, m_drawY, m_drawWidth, m_drawHeight); }
    int diagonal() const { return m_diagonal; }
    int flagWord() const { return m_flags; }
    bool hasShadowSurface() const { return bool(m_shadow); }
    bool hasCacheSurface() const { return bool(m_cache); }
    QImage faceImage() const { return m_face; }
    // How many times the face was painted (a test sees a repaint).
    int paintCount() const { return m_paintCount; }
    // The prefix of the window property names the controls share.
    QByteArray propertyPrefix() const { return m_prefix; }
    // The running fade's delay in ms (0 when no fade runs).
    int fadeDelay() const { return m_fadeStep ? m_fadeDelay : 0; }
    // Timer handlers; public so that a host (or a test) can drive them.
    void TrackingTick();
    void FadeTick();
    // Called on the control that held the mouse when another takes it.
    void ForceMouseExit();

signals:
    void Click(int Button);
    void DblClick(int Button);
    void MouseExit();
    void MouseEnter();
    void MouseUp(int Button, int Shift, float x, float Y);
    void MouseMove(int Button, int Shift, float x, float Y);
    void MouseDown(int Button, int Shift, float x, float Y);
    void KeyDown(int &KeyCode, int &Shift);
    void KeyPress(int &KeyAscii);
    void KeyUp(int KeyCode, int Shift);
    void OLEDragDrop(platform::DataObject *Data, int &Effect, int Button, int Shift, float x, float Y);
    void OLEDragOver(platform::DataObject *Data, int &Effect, int Button, int Shift, float x, float Y, int State);
    void FadeTerminated(int CurrentOpacity);
    // A stored property changed (the host marks its definition dirty).
    void propertyChanged(const QString &name);

protected:
    void paintEvent(QPaintEvent *) override;
    void resizeEvent(QResizeEvent *) override;
    void moveEvent(QMoveEvent *) override;
    void showEvent(QShowEvent *) override;
    void hideEvent(QHideEvent *) override;
    void changeEvent(QEvent *) override;
    void enterEvent(QEnterEvent *) override;
    void mousePressEvent(QMouseEvent *) override;
    void mouseReleaseEvent(QMouseEvent *) override;
    void mouseMoveEvent(QMouseEvent *) override;
    void mouseDoubleClickEvent(QMouseEvent *) override;
    void keyPressEvent(QKeyEvent *) override;
    void keyReleaseEvent(QKeyEvent *) override;
    void dragEnterEvent(QDragEnterEvent *) override;
    void dragMoveEvent(QDragMoveEvent *) override;
    void dropEvent(QDropEvent *) override;

private:
    void notify(const char *name) { emit propertyChanged(QString::fromLatin1(name)); }
    void setFlag(int flag, bool on) { m_flags = on ? (m_flags | flag) : (m_flags & ~flag); }
    bool hasImage() const;
    int scaleW() const { return width(); }
    int scaleH() const { return height(); }
    int desiredCx(int v) const { return v < 1 ? scaleW() : v; }
    int desiredCy(int v) const { return v < 1 ? scaleH() : v; }
    bool afterLoad(bool ok);
    void keepBitmapBytes();
    void ApplyMirror(int m);
    void ApplyImageSettings();
    void RemoveMask();
    void keyOut(std::uint32_t colour);
    std::uint32_t cornerPixel(int source) const;
    void Layout();
    void Relayout();
    bool RenderCache(bool rebuild, bool updateHit);
    void dropCache();
    void UpdateHitArea();
    void deleteHitRegion();
    void PrepareShadow();
    void afterPixelChange();
    void readContainerScaleMode();
    // Draws the control onto its face (what lies behind, then the image).
    void repaintFace();
    void paintOnto(gdi::HDC hDC);
    void fillBehind();
    void releaseFace();
    float toContainerX(double px) const;
    float toContainerY(double px) const;
    int buttonRecordPress(Qt::MouseButton b);
    bool routeMouse(QMouseEvent *e);
    void applyPointer();
    // Tracking (alphaimage_tracking.cpp).
    void StartTracking();
    void StopTracking();
    void stopFade();

    imaging::c32bppDIB m_image;
    std::unique_ptr<imaging::c32bppDIB> m_cache;
    std::unique_ptr<imaging::c32bppDIB> m_shadow;
    int m_flags = flagStretchQuality | flagAutoSize;
    int m_rotation = 0;
    int m_hitTest = 0;
    gdi::HRGN m_hitRegion = 0;
    gdi::RECT m_hitRect;
    int m_hitBaseX = 0, m_hitBaseY = 0;   // the hit box corner as laid out
    int m_grayFormula = -1;
    int m_containerScaleMode = 9;
    int m_scaleMethod = 0;
    int m_mirror = 0;
    int m_opacity = 100;
    std::uint32_t m_maskColor = 0x8000000Fu;
    bool m_maskApplied = false;
    std::uint32_t m_appliedMask = 0x8000000Fu;
    int m_maskSource = 0;
    int m_drawX = 0, m_drawY = 0, m_drawWidth = 0, m_drawHeight = 0;
    int m_diagonal = 0;
    bool m_actualSize = false;
    int m_offsetX = 0, m_offsetY = 0;
    int m_buttons = 0; // low 4 bits pressed, next 4 the last clicked button
    bool m_afterDoubleClick = false; // the next release ends a double click
    std::uint32_t m_shadowColor = 0x404040;
    int m_shadowX = 2, m_shadowY = 2;
    int m_shadowDepth = 2;
    int m_shadowOpacity = 50;
    int m_mousePointer = 0;
    QByteArray m_mouseIcon;
    int m_oleDropMode = 0;
    QString m_tag;
    bool m_runMode = true;
    int m_iconCx = 0, m_iconCy = 0, m_iconBits = 0; // the chosen icon entry

    // Tracking and fade state.
    QByteArray m_prefix;                 // "AIC<major>.<minor>:"
    QPointer<QWidget> m_owner;           // the top-most owner window O
    QPointer<QWidget> m_top;             // the top-level window registered
    int m_calX = 0, m_calY = 0;
    bool m_tracking = false;             // StartTracking ran without StopTracking
    QTimer m_trackTimer;
    QTimer m_fadeTimer;
    int m_fadeStep = 0, m_fadeDelay = 30, m_fadeTarget = 100;

    // The face: a drawing context over the window's pixels under the control.
    gdi::HDC m_faceDC = 0;
    gdi::HBITMAP m_faceBitmap = 0;
    gdi::HGDIOBJ m_facePrevious = 0;
    std::uint8_t *m_faceBits = nullptr;
    int m_faceW = 0, m_faceH = 0;
    QImage m_face;
    bool m_fillingBehind = false;
    bool m_faceStale = true;
    int m_paintCount = 0;
    QPointer<QWidget> m_forwardTo;       // a missed press went to this widget
};

} // namespace controls
