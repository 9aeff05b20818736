#include "controls/alphaimage.h"

#include "controls/input.h"
#include "controls/syscolors.h"
#include "platform/limits.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <algorithm>
#include <cmath>

namespace controls {

namespace {

constexpr std::uint32_t kDefaultMaskColor = 0x8000000Fu;
constexpr std::uint32_t kDefaultShadowColor = 0x404040;

// A negative (top bit) colour names a system colour; others pass unchanged.
std::uint32_t ResolveColor(std::uint32_t c) { return isSystemColour(c) ? translateColour(c) : c; }

bool isPlaceholderOrEmpty(int type)
{
    return type == imaging::NoImage || type == imaging::Blank || type == imaging::Checkerboard;
}

} // namespace

void registerAlphaImage(const aicAlphaImage *c, bool alive); // alphaimage_tracking.cpp

aicAlphaImage::aicAlphaImage(QWidget *parent, bool runMode) : QWidget(parent), m_runMode(runMode)
{
    m_prefix = QByteArrayLiteral("AIC") + QByteArray::number(SORIMBA_VERSION_MAJOR) + '.'
               + QByteArray::number(SORIMBA_VERSION_MINOR) + ':';
    setMouseTracking(true); // the hit-test query runs on every move
    m_trackTimer.setSingleShot(true);
    m_fadeTimer.setSingleShot(true);
    connect(&m_trackTimer, &QTimer::timeout, this, &aicAlphaImage::TrackingTick);
    connect(&m_fadeTimer, &QTimer::timeout, this, &aicAlphaImage::FadeTick);
    registerAlphaImage(this, true);
    InitProperties();
}

aicAlphaImage::~aicAlphaImage()
{
    registerAlphaImage(this, false);
    if (m_tracking)
        StopTracking();
    dropCache();
    m_shadow.reset();
    deleteHitRegion();
    releaseFace();
}

// ---- persistence ---------------------------------------------------------------

void aicAlphaImage::readContainerScaleMode()
{
    const QVariant mode = parentWidget() ? parentWidget()->property("ScaleMode") : QVariant();
    m_containerScaleMode = mode.isValid() ? mode.toInt() : 9;
}

void aicAlphaImage::InitProperties()
{
    m_flags = flagStretchQuality | flagAutoSize;
    m_image.setHighQualityInterpolation(true);
    readContainerScaleMode();
}

void aicAlphaImage::ReadProperties(const PropertyBag &bag)
{
    const QByteArray stored = bag.readBytes(u"Image").value_or(QByteArray());
    m_scaleMethod = bag.readInt(u"Scaler", 0).value_or(0);
    m_opacity = bag.readInt(u"Opacity", 100).value_or(100);
    m_mirror = bag.readInt(u"Mirror", 0).value_or(0);
    m_rotation = bag.readInt(u"Angle", 0).value_or(0);
    m_grayFormula = bag.readInt(u"GrayScale", -1).value_or(-1);
    m_hitTest = bag.readInt(u"HitTest", 0).value_or(0);
    m_flags = bag.readInt(u"Props", 1).value_or(1) & ~flagCacheActive;
    m_maskApplied = bag.readFlag(u"MaskUsed", false).value_or(false);
    m_maskColor = bag.readInt(u"MaskColor", qint32(kDefaultMaskColor)).value_or(qint32(kDefaultMaskColor));
    m_maskSource = bag.readInt(u"MaskSource", 0).value_or(0);
    if (m_maskApplied)
        m_appliedMask = bag.readInt(u"Mask", qint32(kDefaultMaskColor)).value_or(qint32(kDefaultMaskColor));
    setEnabled(bag.readFlag(u"Enabled", true).value_or(true));
    m_mouseIcon = bag.readPicture(u"MIcon").value_or(QByteArray());
    m_mousePointer = bag.readInt(u"MPointer", 0).value_or(0);
    m_oleDropMode = bag.readInt(u"OLEdrop", 0).value_or(0);
    setAcceptDrops(m_oleDropMode != 0);
    applyPointer();
    if (m_scaleMethod == ScaleMethodFixed) {
        m_drawWidth = bag.readInt(u"ScaleCx", 0).value_or(0);
        m_drawHeight = bag.readInt(u"ScaleCy", 0).value_or(0);
        // A negative width would read as a layout in progress for ever, and a
        // size no image can have would size the control to it: both damaged.
        if (!limits::imageFits(m_drawWidth, m_drawHeight, 4))
            m_drawWidth = m_drawHeight = 0;
    }
    m_shadowColor = bag.readInt(u"ShadowColor", kDefaultShadowColor).value_or(kDefaultShadowColor);
    m_shadowDepth = bag.readInt(u"ShadowDepth", 2).value_or(2);
    m_shadowX = bag.readInt(u"ShadowX", 2).value_or(2);
    m_shadowY = bag.readInt(u"ShadowY", 2).value_or(2);
    m_shadowOpacity = bag.readInt(u"ShadowOpacity", 50).value_or(50);
    m_iconCx = bag.readInt(u"IconWidth", 0).value_or(0);
    m_iconCy = bag.readInt(u"IconHeight", 0).value_or(0);
    m_iconBits = bag.readInt(u"IconDepth", 0).value_or(0);
    if (m_iconCx < 1 || m_iconCy < 1 || m_iconCx > 256 || m_iconCy > 256 || m_iconBits < 0 || m_iconBits > 32)
        m_iconCx = m_iconCy = m_iconBits = 0; // damaged: pick by the control's size

    // Values the setters would refuse fall back to their defaults, so that a
    // damaged definition cannot reach the drawing code with them.
    const auto within = [](int &v, int lo, int hi, int def) {
        if (v < lo || v > hi)
            v = def;
    };
    within(m_mirror, 0, 3, 0);
    within(m_grayFormula, -1, 7, -1);
    within(m_hitTest, 0, 3, 0);
    within(m_maskSource, 0, 5, 0);
    within(m_shadowDepth, 0, 10, 2);
    within(m_shadowOpacity, 0, 100, 50);
    within(m_opacity, 0, 100, 100);
    readContainerScaleMode();
    m_image.setHighQualityInterpolation(StretchQuality());

    imaging::ByteArray bytes(std::span(reinterpret_cast<const std::uint8_t *>(stored.constData()),
                                       std::size_t(stored.size())));
    const bool keep = !m_runMode || KeepOriginalFormat();
    const bool entry = m_iconCx > 0;
    const bool loaded = !bytes.empty()
                        && m_image.LoadPicture_Stream(bytes, entry ? m_iconCx : scaleW(), entry ? m_iconCy : scaleH(),
                                                      0, 0, keep, entry && m_iconBits > 0 ? m_iconBits : 32);
    if (!loaded) {
        m_iconCx = m_iconCy = m_iconBits = 0;
        if (m_scaleMethod == ScaleMethodFixed)
            m_scaleMethod = ScaleMethodFit;
        m_flags &= flagStretchQuality | flagKeepOriginalFormat;
        m_rotation = 0;
        m_opacity = 100;
        m_mirror = 0;
        m_drawWidth = m_drawHeight = 0;
    } else {
        ApplyMirror(0);
        if (m_maskApplied)
            m_image.MakeTransparent(ResolveColor(m_appliedMask));
        if (InversedImage())
            m_image.MakeImageInverse();
        if (AutoRedraw() && m_runMode) {
            setFlag(flagCacheActive, true);
            if (!RenderCache(true, true))
                UpdateHitArea();
        }
        if (ShadowEnabled())
            PrepareShadow();
    }
    Layout();
    repaintFace();
}

void aicAlphaImage::WriteProperties(PropertyBag &bag)
{
    QByteArray image;
    const int type = m_image.ImageType();
    const bool canEncode = m_image.isGDIplusEnabled() || m_image.isZlibEnabled();
    imaging::ByteArray out;
    if ((type == imaging::Bitmap || type == imaging::AlphaBitmap || type == imaging::PremultipliedBitmap)) {
        if (canEncode) {
            // Encoded in its loaded state; the working image gets its settings
            // back afterwards so that the control keeps showing what it showed.
            ApplyMirror(0);
            if (m_maskApplied)
                RemoveMask();
            if (InversedImage())
                m_image.MakeImageInverse();
            if (m_image.SaveToStream_PNG(out))
                image = QByteArray(reinterpret_cast<const char *>(out.data()), qsizetype(out.size()));
            ApplyMirror(0);
            if (m_maskApplied)
                m_image.MakeTransparent(ResolveColor(m_appliedMask));
            if (InversedImage())
                m_image.MakeImageInverse();
        }
    } else if (type != imaging::Checkerboard && m_image.GetOrginalFormat(out)) {
        image = QByteArray(reinterpret_cast<const char *>(out.data()), qsizetype(out.size()));
    }
    bag.writeBytes(QStringLiteral("Image"), image);
    bag.writeInt(QStringLiteral("Scaler"), m_scaleMethod, 0);
    bag.writeInt(QStringLiteral("Opacity"), m_opacity, 100);
    bag.writeInt(QStringLiteral("Mirror"), m_mirror, 0);
    bag.writeInt(QStringLiteral("Angle"), m_rotation, 0);
    bag.writeFlag(QStringLiteral("Enabled"), isEnabled(), true);
    bag.writeInt(QStringLiteral("MPointer"), m_mousePointer, 0);
    bag.writeInt(QStringLiteral("OLEdrop"), m_oleDropMode, 0);
    bag.writePicture(QStringLiteral("MIcon"), m_mouseIcon);
    bag.writeInt(QStringLiteral("GrayScale"), m_grayFormula, -1);
    bag.writeInt(QStringLiteral("HitTest"), m_hitTest, 0);
    bag.writeInt(QStringLiteral("Props"), m_flags & ~flagCacheActive, 1);
    bag.writeFlag(QStringLiteral("MaskUsed"), m_maskApplied, false);
    bag.writeInt(QStringLiteral("MaskColor"), qint32(m_maskColor), qint32(kDefaultMaskColor));
    bag.writeInt(QStringLiteral("MaskSource"), m_maskSource, 0);
    if (m_maskApplied)
        bag.writeInt(QStringLiteral("Mask"), qint32(m_appliedMask), qint32(kDefaultMaskColor));
    else
        bag.remove(u"Mask");
    bag.writeInt(QStringLiteral("ShadowColor"), qint32(m_shadowColor), qint32(kDefaultShadowColor));
    bag.writeInt(QStringLiteral("ShadowDepth"), m_shadowDepth, 2);
    bag.writeInt(QStringLiteral("ShadowX"), m_shadowX, 2);
    bag.writeInt(QStringLiteral("ShadowY"), m_shadowY, 2);
    bag.writeInt(QStringLiteral("ShadowOpacity"), m_shadowOpacity, 50);
    if (m_scaleMethod == ScaleMethodFixed) {
        bag.writeInt(QStringLiteral("ScaleCx"), m_drawWidth, 0);
        bag.writeInt(QStringLiteral("ScaleCy"), m_drawHeight, 0);
    }
    // Only an icon entry chosen for these very bytes is stored.
    const bool entry = m_iconCx > 0 && !image.isEmpty();
    bag.writeInt(QStringLiteral("IconWidth"), entry ? m_iconCx : 0, 0);
    bag.writeInt(QStringLiteral("IconHeight"), entry ? m_iconCy : 0, 0);
    bag.writeInt(QStringLiteral("IconDepth"), entry ? m_iconBits : 0, 0);
}

// ---- properties ----------------------------------------------------------------

void aicAlphaImage::setAutoRedraw(bool Enable)
{
    if (Enable == AutoRedraw())
        return;
    setFlag(flagAutoRedraw, Enable);
    if (m_runMode) {
        setFlag(flagCacheActive, Enable);
        if (Enable) {
            if (!RenderCache(true, true))
                UpdateHitArea();
        } else {
            dropCache();
        }
    }
    notify("AutoRedraw");
    repaintFace();
}

void aicAlphaImage::setHitTest(int Style)
{
    if (Style < 0 || Style > 3 || Style == m_hitTest)
        return;
    m_hitTest = Style;
    UpdateHitArea();
    notify("HitTest");
}

void aicAlphaImage::setMaskColor(std::uint32_t Color)
{
    if (m_maskApplied && m_maskSource == 1) {
        RemoveMask();
        keyOut(InversedImage() ? (ResolveColor(Color) ^ 0xFFFFFFu) : ResolveColor(Color));
        m_appliedMask = Color;
        if (!RenderCache(false, true))
            UpdateHitArea();
        repaintFace();
    }
    if (Color != m_maskColor) {
        m_maskColor = Color;
        notify("MaskColor");
    }
}

std::uint32_t aicAlphaImage::cornerPixel(int source) const
{
    const int w = m_image.Width(), h = m_image.Height();
    const int x = (source == 3 || source == 5) ? w - 1 : 0;
    const int y = (source == 4 || source == 5) ? h - 1 : 0;
    return std::uint32_t(m_image.GetPixel(x, y));
}

void aicAlphaImage::keyOut(std::uint32_t colour) { m_image.MakeTransparent(colour & 0xFFFFFFu); }

void aicAlphaImage::setMaskUsed(int Style)
{
    if (Style < 0 || Style > 5 || Style == m_maskSource || m_image.ImageType() == imaging::Checkerboard)
        return;
    if (m_image.Alpha() && !m_maskApplied)
        return;
    if (m_maskApplied)
        RemoveMask();
    m_maskApplied = false;
    if (Style != 0) {
        std::uint32_t key;
        if (Style == 1) {
            m_appliedMask = m_maskColor;
            key = ResolveColor(m_maskColor);
            if (InversedImage())
                key ^= 0xFFFFFFu;
        } else {
            // The corner as it reads now; with the image inverted the stored
            // colour is kept in terms of the un-inverted image.
            const std::uint32_t corner = cornerPixel(Style);
            key = corner;
            m_appliedMask = InversedImage() ? (corner ^ 0xFFFFFFu) : corner;
        }
        m_maskApplied = true;
        keyOut(key);
        if (!RenderCache(false, true))
            UpdateHitArea();
        repaintFace();
    } else {
        if (!RenderCache(false, true))
            UpdateHitArea();
        repaintFace();
    }
    m_maskSource = Style;
    notify("MaskUsed");
}

void aicAlphaImage::RemoveMask()
{
    std::uint32_t c = ResolveColor(m_appliedMask);
    if (InversedImage())
        c ^= 0xFFFFFFu;
    imaging::ByteArray px;
    if (!m_image.GetDIBbits(px, false, true, true, true, true, 0, 0, 0, 0, true))
        return;
    for (std::size_t i = 0; i + 3 < px.size(); i += 4) {
        if (px[i + 3] == 0) {
            px[i] = std::uint8_t((c >> 16) & 0xFF);
            px[i + 1] = std::uint8_t((c >> 8) & 0xFF);
            px[i + 2] = std::uint8_t(c & 0xFF);
            px[i + 3] = 255;
        }
    }
    m_image.SetDIBbits(px.span(), true, true, true, true);
}

void aicAlphaImage::setInversedImage(bool Inverse)
{
    if (Inverse == InversedImage())
        return;
    setFlag(flagInversedImage, Inverse);
    m_image.MakeImageInverse();
    RenderCache(false, false);
    repaintFace();
    notify("InversedImage");
}

void aicAlphaImage::setAutoSize(bool Value)
{
    if (Value == AutoSize())
        return;
    setFlag(flagAutoSize, Value);
    Relayout();
    notify("AutoSize");
}

void aicAlphaImage::setScaleMethod(int Method)
{
    if (Method == m_scaleMethod)
        return;
    m_scaleMethod = Method;
    Relayout();
    notify("Stretch");
}

void aicAlphaImage::setStretchQuality(bool highQuality)
{
    if (highQuality == StretchQuality())
        return;
    setFlag(flagStretchQuality, highQuality);
    m_image.setHighQualityInterpolation(highQuality);
    repaintFace();
    notify("StretchQuality");
}

void aicAlphaImage::setOpacity(int Opaqueness)
{
    int v = 0;
    if (Opaqueness != 0) {
        v = int(std::abs(qint64(Opaqueness)) % 100);
        if (v == 0)
            v = 100;
    }
    const bool changed = v != m_opacity;
    m_opacity = v; // stored and repainted even when equal
    repaintFace();
    if (changed)
        notify("Opacity");
}

void aicAlphaImage::setMirror(int MirrorType)
{
    if (MirrorType < 0 || MirrorType > 3 || MirrorType == m_mirror)
        return;
    ApplyMirror(MirrorType);
    m_mirror = MirrorType;
    if (!RenderCache(false, true))
        UpdateHitArea();
    repaintFace();
    notify("Mirror");
}

void aicAlphaImage::setKeepOriginalFormat(bool Keep)
{
    if (Keep == KeepOriginalFormat())
        return;
    setFlag(flagKeepOriginalFormat, Keep);
    notify("KeepOriginalFormat");
}

void aicAlphaImage::setGrayScale(int Style)
{
    if (Style < 0 || Style > 8 || Style == m_grayFormula + 1)
        return;
    m_grayFormula = Style - 1;
    repaintFace();
    notify("GrayScale");
}

void aicAlphaImage::setRotates(bool canRotate)
{
    if (canRotate == Rotates())
        return;
    setFlag(flagRotates, canRotate);
    Relayout();
    notify("Rotates");
}

void aicAlphaImage::setRotation(int newAngle)
{
    const int v = newAngle % 360; // the sign is kept
    if (v == m_rotation)
        return;
    m_rotation = v;
    if (!Rotates())
        return;
    if (!RenderCache(false, true))
        UpdateHitArea();
    repaintFace();
    notify("Rotation");
}

void aicAlphaImage::setEnabledProperty(bool Enable)
{
    if (Enable == isEnabled())
        return;
    setEnabled(Enable); // changeEvent starts or stops tracking
    notify("Enabled");
}

void aicAlphaImage::setShadowEnabled(bool Enable)
{
    if (Enable == ShadowEnabled())
        return;
    setFlag(flagShadowEnabled, Enable);
    PrepareShadow();
    repaintFace();
    notify("ShadowEnabled");
}

void aicAlphaImage::setShadowColor(std::uint32_t Color)
{
    if (Color == m_shadowColor)
        return;
    m_shadowColor = Color;
    PrepareShadow();
    repaintFace();
    notify("ShadowColor");
}

void aicAlphaImage::setShadowOffsetX(int OffSet)
{
    if (OffSet == m_shadowX)
        return;
    m_shadowX = OffSet;
    if (ShadowEnabled())
        repaintFace();
    notify("ShadowOffsetX");
}

void aicAlphaImage::setShadowOffsetY(int OffSet)
{
    if (OffSet == m_shadowY)
        return;
    m_shadowY = OffSet;
    if (ShadowEnabled())
        repaintFace();
    notify("ShadowOffsetY");
}

void aicAlphaImage::setShadowDepth(int Depth)
{
    if (Depth < 0 || Depth > 10 || Depth == m_shadowDepth)
        return;
    m_shadowDepth = Depth;
    PrepareShadow();
    repaintFace();
    notify("ShadowDepth");
}

void aicAlphaImage::setShadowOpacity(int Opaqueness)
{
    if (Opaqueness < 0 || Opaqueness > 100 || Opaqueness == m_shadowOpacity)
        return;
    m_shadowOpacity = Opaqueness;
    if (ShadowEnabled())
        repaintFace();
    notify("ShadowOpacity");
}

void aicAlphaImage::applyPointer()
{
    static const Qt::CursorShape shapes[] = {
        Qt::ArrowCursor,     Qt::ArrowCursor,   Qt::CrossCursor,     Qt::IBeamCursor,
        Qt::ArrowCursor,     Qt::SizeAllCursor, Qt::SizeBDiagCursor, Qt::SizeVerCursor,
        Qt::SizeFDiagCursor, Qt::SizeHorCursor, Qt::UpArrowCursor,   Qt::WaitCursor,
        Qt::ForbiddenCursor, Qt::BusyCursor,    Qt::WhatsThisCursor, Qt::SizeAllCursor,
    };
    if (m_mousePointer == 99) {
        QPixmap pm;
        if (!m_mouseIcon.isEmpty() && pm.loadFromData(m_mouseIcon))
            setCursor(QCursor(pm, 0, 0));
        else
            unsetCursor();
    } else if (m_mousePointer > 0 && m_mousePointer < int(std::size(shapes))) {
        setCursor(QCursor(shapes[m_mousePointer]));
    } else {
        unsetCursor();
    }
}

void aicAlphaImage::setMousePointer(int Pointer)
{
    m_mousePointer = Pointer;
    applyPointer();
    notify("MousePointer");
}

void aicAlphaImage::setMouseIcon(const QByteArray &Icon)
{
    m_mouseIcon = Icon;
    applyPointer();
    notify("MouseIcon");
}

void aicAlphaImage::setOLEDropMode(int Value)
{
    m_oleDropMode = Value;
    setAcceptDrops(Value != 0);
    notify("OLEDropMode");
}

void aicAlphaImage::setGDIplusToken(std::uint32_t token)
{
    m_image.setGdiToken(token);
    if (m_cache)
        m_cache->setGdiToken(token);
    if (m_shadow)
        m_shadow->setGdiToken(token);
}

int aicAlphaImage::ImageType() const
{
    const int type = m_image.ImageType();
    if (isPlaceholderOrEmpty(type))
        return 0;
    if (KeepOriginalFormat())
        return type;
    if (m_image.isGDIplusEnabled() || m_image.isZlibEnabled())
        return imaging::Png;
    return m_image.Alpha() ? imaging::PremultipliedBitmap : imaging::Bitmap;
}

// ---- methods -------------------------------------------------------------------

bool aicAlphaImage::hasImage() const { return m_image.BitsPointer() != nullptr && m_image.Width() > 0; }

void aicAlphaImage::ClearImage()
{
    m_iconCx = m_iconCy = m_iconBits = 0;
    if (m_flags & flagCacheActive)
        m_cache.reset(); // made again by the next drawing while AutoRedraw is on
    // A precomputed shadow would outlive the image it was made from.
    m_shadow.reset();
    m_image.DestroyDIB();
    if (m_runMode) {
        UpdateHitArea();
        repaintFace();
        return;
    }
    if (m_image.InitializeDIB(std::max(1, m_drawWidth), std::max(1, m_drawHeight)))
        m_image.CreateCheckerBoard(12, 0xFFFFFF, 0xC0C0C0);
    Relayout();
}

void aicAlphaImage::Refresh()
{
    readContainerScaleMode();
    repaintFace();
}

bool aicAlphaImage::afterLoad(bool ok)
{
    if (ok) {
        m_iconCx = m_iconCy = m_iconBits = 0; // a new image: no chosen icon entry
        ApplyImageSettings();
    }
    return ok;
}

// Sources without encoded bytes keep a BMP file of the image when asked.
void aicAlphaImage::keepBitmapBytes()
{
    if (!KeepOriginalFormat() || !hasImage())
        return;
    imaging::ByteArray bmp;
    if (m_image.SaveToStream(bmp))
        m_image.setOriginalBytes(bmp.span());
}

bool aicAlphaImage::LoadImage_FromArray(imaging::ByteArray &inStream, int desiredIconWidth, int desiredIconHeight,
                                        int desiredIconBitDepth)
{
    return afterLoad(m_image.LoadPicture_Stream(inStream, desiredCx(desiredIconWidth), desiredCy(desiredIconHeight), 0,
                                                0, KeepOriginalFormat(),
                                                desiredIconBitDepth < 1 ? 32 : desiredIconBitDepth));
}

bool aicAlphaImage::LoadImage_FromFile(const QString &FileName, int desiredIconWidth, int desiredIconHeight,
                                       int desiredIconBitDepth)
{
    return afterLoad(m_image.LoadPicture_File(FileName, desiredCx(desiredIconWidth), desiredCy(desiredIconHeight),
                                              KeepOriginalFormat(),
                                              desiredIconBitDepth < 1 ? 32 : desiredIconBitDepth));
}

bool aicAlphaImage::LoadImage_FromStdPicture(const platform::Picture &stdPic)
{
    if (!m_image.LoadPicture_StdPicture(stdPic))
        return false;
    keepBitmapBytes();
    return afterLoad(true);
}

bool aicAlphaImage::LoadImage_FromClipboard()
{
    if (!m_image.LoadPicture_ClipBoard())
        return false;
    keepBitmapBytes();
    return afterLoad(true);
}

bool aicAlphaImage::LoadImage_FromHandle(gdi::HGDIOBJ Handle)
{
    if (!m_image.LoadPicture_ByHandle(Handle))
        return false;
    keepBitmapBytes();
    return afterLoad(true);
}

bool aicAlphaImage::LoadImage_FromResource(const platform::ResourceModule *VBglobal, const QVariant &ResSection,
                                           const QVariant &ResID, int desiredIconWidth, int desiredIconHeight,
                                           int desiredIconBitDepth)
{
    return afterLoad(m_image.LoadPicture_Resource(ResID, ResSection, VBglobal, desiredCx(desiredIconWidth),
                                                  desiredCy(desiredIconHeight), 0, 0,
                                                  desiredIconBitDepth < 1 ? 32 : desiredIconBitDepth));
}

bool aicAlphaImage::LoadImage_FromOrignalBytes(int desiredIconWidth, int desiredIconHeight, int desiredIconBitDepth)
{
    return afterLoad(m_image.LoadPicture_FromOrignalFormat(desiredCx(desiredIconWidth), desiredCy(desiredIconHeight),
                                                           desiredIconBitDepth < 1 ? 32 : desiredIconBitDepth));
}

bool aicAlphaImage::GetImageBytes(imaging::ByteArray &imgBytes, int &scanWidth, bool asArray2D, bool asBGRformat,
                                  bool asBottomUp, bool asPreMultiplied, bool asFileFormat)
{
    if (isPlaceholderOrEmpty(m_image.ImageType()))
        return false;
    if (asFileFormat) {
        if (m_image.GetOrginalFormat(imgBytes))
            return true;
        if (m_image.isGDIplusEnabled() || m_image.isZlibEnabled())
            return m_image.SaveToStream_PNG(imgBytes);
        return m_image.SaveToStream(imgBytes);
    }
    scanWidth = m_image.scanWidth();
    return m_image.GetDIBbits(imgBytes, asArray2D, asBGRformat, true, true, asBottomUp, 0, 0, 0, 0, asPreMultiplied);
}

bool aicAlphaImage::SetImageBytes(const imaging::ByteArray &imgBytes, bool isBGRformat, bool isBottomUp)
{
    if (m_image.ImageType() == imaging::NoImage || !hasImage())
        return false;
    if (!m_image.SetDIBbits(imgBytes.span(), isBGRformat, true, true, isBottomUp, 0, 0, 0, 0))
        return false;
    afterPixelChange();
    return true;
}

void aicAlphaImage::afterPixelChange()
{
    if (!RenderCache(false, true))
        UpdateHitArea();
    repaintFace();
}

void aicAlphaImage::GetImageScales(int &Width, int &Height, int ScaleMethod, int desiredWidth, int desiredHeight,
                                   bool asRotatedImage) const
{
    if (!hasImage())
        return;
    int method = ScaleMethod < 0 ? m_scaleMethod : ScaleMethod;
    method = std::clamp(method, 0, 4); // a negative own value acts as 0, above 4 as 4
    if (method == ScaleMethodFixed) {
        Width = m_drawWidth;
        Height = m_drawHeight;
        return;
    }
    if (desiredWidth < 1)
        desiredWidth = scaleW();
    if (desiredHeight < 1)
        desiredHeight = scaleH();
    const int W = m_image.Width(), H = m_image.Height();
    if (method == ScaleMethodActual) {
        Width = W;
        Height = H;
        return;
    }
    if (!asRotatedImage) {
        if (method == ScaleMethodStretch) {
            Width = desiredWidth;
            Height = desiredHeight;
            return;
        }
        float ratio = float(desiredWidth) / float(W);
        if (float(desiredHeight) / float(H) < ratio)
            ratio = float(desiredHeight) / float(H);
        if (method == ScaleMethodShrinkToFit && ratio > 1.0f)
            ratio = 1.0f;
        Width = roundEven(double(ratio * float(W)));
        Height = roundEven(double(ratio * float(H)));
        return;
    }
    const int d = roundEven(std::sqrt(double(W) * W + double(H) * H));
    const float rx = float(W) / float(d), ry = float(H) / float(d);
    if (method == ScaleMethodStretch) {
        Width = roundEven(double(float(desiredWidth) * rx));
        Height = roundEven(double(float(desiredHeight) * ry));
        return;
    }
    const int m = std::min(desiredWidth, desiredHeight);
    const int w = roundEven(double(rx * float(m))), h = roundEven(double(ry * float(m)));
    if (method == ScaleMethodShrinkToFit && (W < w || H < h)) {
        Width = W;
        Height = H;
        return;
    }
    Width = w;
    Height = h;
}

void aicAlphaImage::OffsetShadow(int x, int Y)
{
    m_shadowX = x;
    m_shadowY = Y;
    if (ShadowEnabled())
        repaintFace();
}

void aicAlphaImage::OffsetImage(bool SetOffsets, int &x, int &Y, int &ShadowX, int &ShadowY)
{
    if (!SetOffsets) {
        x = m_offsetX;
        Y = m_offsetY;
        ShadowX = m_shadowX;
        ShadowY = m_shadowY;
        return;
    }
    m_offsetX = x;
    m_offsetY = Y;
    if (ShadowX != 0)
        m_shadowX = ShadowX;
    if (ShadowY != 0)
        m_shadowY = ShadowY;
    // The hit area follows the image: its box's corner lands on (x, Y) plus
    // where the box started, so that what is hit stays what is drawn.
    if (m_hitRegion) {
        gdi::RECT box;
        gdi::GetRgnBox(m_hitRegion, box);
        gdi::OffsetRgn(m_hitRegion, x - (box.left - m_hitBaseX), Y - (box.top - m_hitBaseY));
    } else {
        const int dx = x - (m_hitRect.left - m_hitBaseX), dy = Y - (m_hitRect.top - m_hitBaseY);
        m_hitRect = gdi::RECT{m_hitRect.left + dx, m_hitRect.top + dy, m_hitRect.right + dx, m_hitRect.bottom + dy};
    }
    repaintFace();
}

bool aicAlphaImage::GetSourceBytes(imaging::ByteArray &bytes) const
{
    if (m_image.ImageType() == imaging::Checkerboard)
        return false;
    return m_image.GetOrginalFormat(bytes);
}

bool aicAlphaImage::LoadSourceBytes(imaging::ByteArray &bytes, int iconWidth, int iconHeight, int iconBitDepth)
{
    if (!m_image.LoadPicture_Stream(bytes, iconWidth, iconHeight, 0, 0, true, iconBitDepth))
        return false;
    // Remember the entry only for an icon or cursor file, as the page chose it.
    std::vector<imaging::c32bppDIB::IconSize> entries;
    const bool icon = iconWidth > 0 && iconHeight > 0 && iconWidth <= 256 && iconHeight <= 256
                      && iconBitDepth >= 0 && iconBitDepth <= 32 && m_image.SourceIconSizes(entries) > 0;
    m_iconCx = icon ? iconWidth : 0;
    m_iconCy = icon ? iconHeight : 0;
    m_iconBits = icon ? iconBitDepth : 0;
    const int method = m_scaleMethod;
    const int flags = m_flags;
    m_scaleMethod = ScaleMethodActual;
    setFlag(flagAutoSize, true);
    Layout();
    m_scaleMethod = method;
    m_flags = flags;
    notify("ScaleMethod");
    repaintFace();
    return true;
}

// ---- image settings ------------------------------------------------------------

void aicAlphaImage::ApplyMirror(int m)
{
    const int bits = m ^ m_mirror;
    if (bits & 3)
        m_image.MirrorImage((bits & 1) != 0, (bits & 2) != 0);
}

void aicAlphaImage::ApplyImageSettings()
{
    ApplyMirror(0);
    if (m_maskApplied) {
        if (m_image.Alpha()) {
            m_maskApplied = false;
            m_maskSource = 0;
        } else {
            if (m_maskSource >= 2 && m_maskSource <= 5)
                m_appliedMask = cornerPixel(m_maskSource);
            m_image.MakeTransparent(ResolveColor(m_appliedMask) & 0xFFFFFFu);
        }
    }
    if (InversedImage())
        m_image.MakeImageInverse();
    Relayout();
}

// ---- layout, cache, hit area, shadow ---------------------------------------------

void aicAlphaImage::Layout()
{
    if (m_drawWidth < 0)
        return; // a layout is already running (the resize below)
    const int W = scaleW(), H = scaleH();
    if (!m_runMode && !hasImage() && W > 0 && H > 0) {
        if (m_image.InitializeDIB(W, H))
            m_image.CreateCheckerBoard(12, 0xFFFFFF, 0xC0C0C0);
    }
    int dw = m_drawWidth, dh = m_drawHeight;
    GetImageScales(dw, dh, m_scaleMethod, W, H, Rotates());
    const bool fixed = m_scaleMethod >= ScaleMethodFixed;
    if (Rotates()) {
        m_diagonal = roundEven(std::sqrt(double(dw) * dw + double(dh) * dh));
        if (fixed) {
            m_drawX = std::max(0, (W - dw) / 2);
            m_drawY = std::max(0, (H - dh) / 2);
        } else {
            m_drawX = (W - m_diagonal) / 2;
            m_drawY = (H - m_diagonal) / 2;
        }
        m_actualSize = false;
    } else {
        m_drawX = std::max(0, (W - dw) / 2);
        m_drawY = std::max(0, (H - dh) / 2);
        m_actualSize = hasImage() && dw == m_image.Width() && dh == m_image.Height();
    }
    m_drawWidth = dw;
    m_drawHeight = dh;
    if (AutoSize() && dw > 0 && dh > 0) {
        const QSize size = Rotates() ? QSize(m_diagonal, m_diagonal) : QSize(dw, dh);
        m_drawWidth = -dw;
        m_drawX = m_drawY = 0;
        resize(size);
        m_drawWidth = dw;
    }
    if (!RenderCache(true, true))
        UpdateHitArea();
}

void aicAlphaImage::Relayout()
{
    // Also when the layout gave the control a new size: the resize inside the
    // layout paints nothing while the layout is still running.
    Layout();
    repaintFace();
}

void aicAlphaImage::dropCache()
{
    m_cache.reset();
    setFlag(flagCacheActive, false);
}

bool aicAlphaImage::RenderCache(bool rebuild, bool updateHit)
{
    bool drawn = false;
    if (m_flags & flagCacheActive) {
        if (rebuild || !m_cache) {
            if (!m_cache) {
                m_cache = std::make_unique<imaging::c32bppDIB>();
                m_cache->setGdiToken(m_image.gdiToken());
                m_cache->setManageOwnDC(true);
            }
            if (m_drawWidth <= 0 || scaleW() <= 0 || scaleH() <= 0)
                return false;
            if (m_cache->Width() != scaleW() || m_cache->Height() != scaleH()) {
                if (!m_cache->InitializeDIB(scaleW(), scaleH()))
                    return false;
            } else {
                m_cache->EraseDIB();
            }
        } else {
            m_cache->EraseDIB();
        }
        const gdi::HDC dc = m_cache->LoadDIBinDC(true);
        if (dc && hasImage()) {
            if (Rotates()) {
                m_cache->setAlpha(true);
                m_image.RotateAtCenterPoint(dc, float(m_rotation), m_cache->Width() / 2, m_cache->Height() / 2,
                                            m_drawWidth, m_drawHeight, 0, 0, 0, 0, 100, m_cache.get(), -1);
            } else {
                m_cache->setAlpha(m_image.Alpha());
                m_image.Render(dc, m_drawX, m_drawY, m_drawWidth, m_drawHeight, 0, 0, 0, 0, 100, true, false,
                               m_cache.get(), -1);
            }
        }
        if (updateHit)
            UpdateHitArea();
        drawn = true;
    }
    if (ShadowEnabled())
        PrepareShadow();
    return drawn;
}

void aicAlphaImage::deleteHitRegion()
{
    if (m_hitRegion)
        gdi::DeleteObject(m_hitRegion);
    m_hitRegion = 0;
}

void aicAlphaImage::UpdateHitArea()
{
    m_hitBaseX = m_hitBaseY = 0;
    if (m_runMode && isEnabled() && hasImage() && !isPlaceholderOrEmpty(m_image.ImageType()) && m_hitTest != 0) {
        deleteHitRegion();
        gdi::HRGN rgn = 0;
        if ((m_flags & flagCacheActive) && m_cache && m_cache->Width() == scaleW()) {
            rgn = m_cache->CreateRegion(m_hitTest - 1, 0, 0);
        } else {
            // A temporary cache holds the image as drawn in control coordinates.
            setFlag(flagCacheActive, true);
            if (RenderCache(true, false))
                rgn = m_cache->CreateRegion(m_hitTest - 1, 0, 0);
            setFlag(flagCacheActive, false);
            m_cache.reset();
        }
        if (!rgn) {
            m_hitRect = gdi::RECT{}; // nothing visible: nothing hits
        } else if (m_hitTest == 1) {
            gdi::GetRgnBox(rgn, m_hitRect);
            gdi::DeleteObject(rgn);
        } else {
            m_hitRegion = rgn;
        }
        gdi::RECT box = m_hitRect;
        if (m_hitRegion)
            gdi::GetRgnBox(m_hitRegion, box);
        m_hitBaseX = box.left;
        m_hitBaseY = box.top;
        return;
    }
    deleteHitRegion();
    m_hitRect = gdi::RECT{0, 0, scaleW(), scaleH()};
}

bool aicAlphaImage::inHitArea(int x, int y) const
{
    return m_hitRegion ? gdi::PtInRegion(m_hitRegion, x, y) : gdi::PtInRect(m_hitRect, x, y);
}

void aicAlphaImage::PrepareShadow()
{
    if (!ShadowEnabled() || !hasImage()) {
        m_shadow.reset();
        return;
    }
    if (m_actualSize && !Rotates() && m_image.Width() <= 128 && m_image.Height() <= 128) {
        m_shadow.reset(); // drawn on the fly at paint time
        return;
    }
    const std::uint32_t colour = ResolveColor(m_shadowColor);
    if (m_cache && (m_flags & flagCacheActive)) {
        m_shadow = m_cache->CreateDropShadow(m_shadowDepth, colour);
    } else if (Rotates() && m_drawWidth > 0 && m_drawHeight > 0) {
        imaging::c32bppDIB copy;
        m_image.CopyImageTo(copy, m_drawWidth, m_drawHeight);
        m_shadow = copy.CreateDropShadow(m_shadowDepth, colour);
    } else {
        m_shadow = m_image.CreateDropShadow(m_shadowDepth, colour);
    }
    if (m_shadow)
        m_shadow->setGdiToken(m_image.gdiToken());
}

// ---- painting --------------------------------------------------------------------

void aicAlphaImage::releaseFace()
{
    if (m_faceDC) {
        if (m_facePrevious)
            gdi::SelectObject(m_faceDC, m_facePrevious);
        gdi::DeleteDC(m_faceDC);
    }
    if (m_faceBitmap)
        gdi::DeleteObject(m_faceBitmap);
    m_faceDC = m_faceBitmap = m_facePrevious = 0;
    m_faceBits = nullptr;
    m_faceW = m_faceH = 0;
}

void aicAlphaImage::fillBehind()
{
    QImage img(m_faceBits, m_faceW, m_faceH, m_faceW * 4, QImage::Format_RGB32);
    QWidget *parent = parentWidget();
    img.fill(parent ? parent->palette().color(QPalette::Window) : palette().color(QPalette::Window));
    if (parent) {
        // The parent with the siblings beneath; this control paints nothing
        // meanwhile.
        m_fillingBehind = true;
        QPainter p(&img);
        parent->render(&p, QPoint(0, 0), QRegion(geometry()), QWidget::DrawWindowBackground | QWidget::DrawChildren);
        p.end();
        m_fillingBehind = false;
    }
    // The drawing layer keeps classic pixels with alpha 0.
    for (int i = 0; i < m_faceW * m_faceH; ++i)
        m_faceBits[std::size_t(i) * 4 + 3] = 0;
}

void aicAlphaImage::repaintFace()
{
    if (m_fillingBehind)
        return;
    ++m_paintCount;
    if (!isVisible() || width() <= 0 || height() <= 0) {
        m_faceStale = true; // painted when shown
        return;
    }
    if (m_faceW != width() || m_faceH != height()) {
        releaseFace();
        m_faceDC = gdi::CreateCompatibleDC(0);
        const gdi::BITMAPINFO bi = gdi::makeBitmapInfo(width(), -height(), 32);
        m_faceBitmap = gdi::CreateDIBSection(m_faceDC, bi, gdi::DIB_RGB_COLORS, &m_faceBits);
        if (!m_faceDC || !m_faceBitmap) {
            releaseFace();
            return;
        }
        m_facePrevious = gdi::SelectObject(m_faceDC, m_faceBitmap);
        m_faceW = width();
        m_faceH = height();
    }
    fillBehind();
    paintOnto(m_faceDC);
    m_face = QImage(m_faceBits, m_faceW, m_faceH, m_faceW * 4, QImage::Format_RGB32).copy();
    m_faceStale = false;
    update();
}

void aicAlphaImage::paintOnto(gdi::HDC hDC)
{
    if (m_drawWidth < 0 || !hasImage())
        return;
    const int side = Rotates() ? m_diagonal : 0;
    const gdi::RECT image{m_drawX, m_drawY, m_drawX + (Rotates() ? side : m_drawWidth),
                          m_drawY + (Rotates() ? side : m_drawHeight)};
    gdi::RECT clip;
    gdi::GetClipBox(hDC, clip);
    const int left = std::max(image.left, clip.left), top = std::max(image.top, clip.top);
    const int right = std::min(image.right, clip.right), bottom = std::min(image.bottom, clip.bottom);
    if (right <= left || bottom <= top)
        return;
    const int width = right - left, height = bottom - top;
    const int W = scaleW(), H = scaleH();

    if (ShadowEnabled()) {
        const std::uint32_t colour = ResolveColor(m_shadowColor);
        if (m_shadow && Rotates()) {
            m_shadow->RotateAtCenterPoint(hDC, float(m_rotation), m_shadowX + W / 2, m_shadowY + H / 2, m_drawWidth,
                                          m_drawHeight, 0, 0, 0, 0, m_shadowOpacity, nullptr, m_grayFormula);
        } else if (m_shadow) {
            m_shadow->Render(hDC, m_shadowX + (W - m_shadow->Width()) / 2, m_shadowY + (H - m_shadow->Height()) / 2, 0,
                             0, 0, 0, 0, 0, m_shadowOpacity, true, false, nullptr, -1);
        } else {
            m_image.RenderDropShadow_JIT(hDC, m_shadowX + (W - m_image.Width()) / 2,
                                         m_shadowY + (H - m_image.Height()) / 2, m_shadowDepth, colour,
                                         m_shadowOpacity);
        }
    }

    const int ox = m_offsetX, oy = m_offsetY, g = m_grayFormula;
    if (m_cache && (m_flags & flagCacheActive)) {
        m_cache->Render(hDC, left + ox, top + oy, width, height, left, top, width, height, m_opacity, true, true,
                        nullptr, g);
    } else if (Rotates()) {
        m_image.RotateAtCenterPoint(hDC, float(m_rotation), ox + W / 2, oy + H / 2, m_drawWidth, m_drawHeight, 0, 0,
                                    0, 0, m_opacity, nullptr, g);
    } else if (m_actualSize) {
        m_image.Render(hDC, left + ox, top + oy, width, height, left - m_drawX, top - m_drawY, width, height,
                       m_opacity, true, true, nullptr, g);
    } else {
        m_image.Render(hDC, m_drawX + ox, m_drawY + oy, m_drawWidth, m_drawHeight, 0, 0, 0, 0, m_opacity, true, true,
                       nullptr, g);
    }
}

void aicAlphaImage::paintEvent(QPaintEvent *)
{
    if (m_fillingBehind)
        return;
    QPainter p(this);
    p.drawImage(0, 0, m_face);
}

void aicAlphaImage::resizeEvent(QResizeEvent *)
{
    if (m_fillingBehind || m_drawWidth < 0)
        return; // the layout that sized the control paints when it is done
    Layout();
    repaintFace();
}

void aicAlphaImage::moveEvent(QMoveEvent *)
{
    if (!m_fillingBehind && isVisible())
        repaintFace(); // what lies behind changed
}

void aicAlphaImage::showEvent(QShowEvent *)
{
    if (m_runMode && isEnabled())
        StartTracking();
    if (m_drawWidth == 0)
        Relayout();
    if (m_faceStale)
        repaintFace();
}

void aicAlphaImage::hideEvent(QHideEvent *)
{
    stopFade();
    if (m_runMode && isEnabled())
        StopTracking();
}

void aicAlphaImage::changeEvent(QEvent *e)
{
    if (e->type() == QEvent::EnabledChange && m_runMode) {
        if (isEnabled()) {
            if (isVisible())
                StartTracking();
        } else {
            StopTracking();
        }
        UpdateHitArea();
    }
    QWidget::changeEvent(e);
}

// ---- mouse and keyboard ------------------------------------------------------------

float aicAlphaImage::toContainerX(double px) const
{
    switch (m_containerScaleMode) {
    case 1: return float(px * 15);          // twips
    case 2: return float(px * 15 / 20);     // points
    case 4: return float(px * 15 / 120);    // characters
    case 5: return float(px * 15 / 1440);   // inches
    case 6: return float(px * 15 / 56.7);   // millimetres
    case 7: return float(px * 15 / 567);    // centimetres
    default: return float(px);              // pixels; the container's own pixels
    }
}

float aicAlphaImage::toContainerY(double px) const
{
    return m_containerScaleMode == 4 ? float(px * 15 / 240) : toContainerX(px);
}

// A mouse event that misses the hit area goes to what lies beneath, as if
// this control were not there; the rest of that press follows it.
bool aicAlphaImage::routeMouse(QMouseEvent *e)
{
    QWidget *target = m_forwardTo;
    if (!target) {
        if (e->type() != QEvent::MouseButtonPress && e->type() != QEvent::MouseButtonDblClick)
            return false;
        if (HitTestQuery(e->position().x(), e->position().y(), 0) == 3)
            return false;
        QWidget *top = window();
        const QPoint global = e->globalPosition().toPoint();
        setAttribute(Qt::WA_TransparentForMouseEvents, true);
        target = top->childAt(top->mapFromGlobal(global));
        setAttribute(Qt::WA_TransparentForMouseEvents, false);
        if (!target)
            target = top;
        if (target == this)
            return false;
        m_forwardTo = target;
    }
    const QPointF local = target->mapFromGlobal(e->globalPosition());
    QMouseEvent copy(e->type(), local, e->scenePosition(), e->globalPosition(), e->button(), e->buttons(),
                     e->modifiers(), e->pointingDevice());
    if (e->type() == QEvent::MouseButtonRelease && !e->buttons())
        m_forwardTo = nullptr;
    QCoreApplication::sendEvent(target, &copy);
    return true;
}

void aicAlphaImage::mousePressEvent(QMouseEvent *e)
{
    if (routeMouse(e))
        return;
    const int b = mouseButtonCode(e->button());
    m_buttons |= b;
    m_afterDoubleClick = false;
    emit MouseDown(b, shiftCode(e->modifiers()), toContainerX(e->position().x()), toContainerY(e->position().y()));
}

void aicAlphaImage::mouseReleaseEvent(QMouseEvent *e)
{
    if (routeMouse(e))
        return;
    const int b = mouseButtonCode(e->button());
    const bool pressed = (m_buttons & b) != 0;
    m_buttons = (m_buttons & 0x0F & ~b) | (pressed ? (b << 4) : 0);
    emit MouseUp(b, shiftCode(e->modifiers()), toContainerX(e->position().x()), toContainerY(e->position().y()));
    // The release that ends a double click raises no second click.
    const bool click = pressed && !m_afterDoubleClick && rect().contains(e->position().toPoint());
    m_afterDoubleClick = false;
    if (click)
        emit Click(m_buttons >> 4);
}

void aicAlphaImage::mouseDoubleClickEvent(QMouseEvent *e)
{
    if (routeMouse(e))
        return;
    m_buttons |= mouseButtonCode(e->button());
    m_afterDoubleClick = true;
    emit DblClick(m_buttons >> 4);
}

void aicAlphaImage::mouseMoveEvent(QMouseEvent *e)
{
    if (routeMouse(e))
        return;
    const bool held = e->buttons() != Qt::NoButton;
    if (HitTestQuery(e->position().x(), e->position().y(), 0) != 3 && !held)
        return;
    emit MouseMove(mouseButtonsMask(e->buttons()), shiftCode(e->modifiers()), toContainerX(e->position().x()),
                   toContainerY(e->position().y()));
}

void aicAlphaImage::enterEvent(QEnterEvent *e) { HitTestQuery(e->position().x(), e->position().y(), 0); }

void aicAlphaImage::keyPressEvent(QKeyEvent *e)
{
    int code = e->key(), shift = shiftCode(e->modifiers());
    emit KeyDown(code, shift);
    if (!e->text().isEmpty()) {
        int ascii = e->text().at(0).unicode();
        emit KeyPress(ascii);
    }
}

void aicAlphaImage::keyReleaseEvent(QKeyEvent *e) { emit KeyUp(e->key(), shiftCode(e->modifiers())); }

void aicAlphaImage::dragEnterEvent(QDragEnterEvent *e)
{
    platform::DataObject data = platform::DataObject::fromMimeData(*e->mimeData());
    int effect = int(e->proposedAction());
    const QPointF pos = e->position();
    emit OLEDragOver(&data, effect, mouseButtonsMask(e->buttons()), shiftCode(e->modifiers()), toContainerX(pos.x()),
                     toContainerY(pos.y()), 0);
    e->acceptProposedAction();
}

void aicAlphaImage::dragMoveEvent(QDragMoveEvent *e)
{
    platform::DataObject data = platform::DataObject::fromMimeData(*e->mimeData());
    int effect = int(e->proposedAction());
    const QPointF pos = e->position();
    emit OLEDragOver(&data, effect, mouseButtonsMask(e->buttons()), shiftCode(e->modifiers()), toContainerX(pos.x()),
                     toContainerY(pos.y()), 2);
    e->acceptProposedAction();
}

void aicAlphaImage::dropEvent(QDropEvent *e)
{
    platform::DataObject data = platform::DataObject::fromMimeData(*e->mimeData());
    m_image.GetDroppedFileNames(&data);
    int effect = int(e->proposedAction());
    const QPointF pos = e->position();
    emit OLEDragDrop(&data, effect, mouseButtonsMask(e->buttons()), shiftCode(e->modifiers()), toContainerX(pos.x()),
                     toContainerY(pos.y()));
    e->acceptProposedAction();
}

} // namespace controls
