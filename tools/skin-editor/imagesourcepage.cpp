#include "imagesourcepage.h"

#include "platform/picture/clipboard.h"
#include "platform/twips.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QMimeData>

namespace skineditor {

namespace {

using platform::kTwipsPerPixel;
using platform::px;
using platform::twipRect;

// The page and the frame of the preview, in twips.
constexpr int kPageWidth = 4800, kPageHeight = 3600;
constexpr int kFrameLeft = 150, kFrameTop = 210, kFrameWidth = 2880, kFrameHeight = 2880;

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

// The leading number of a text, spaces inside it ignored ("8 b" reads 8).
int leadingNumber(QStringView s)
{
    int v = 0;
    for (QChar c : s) {
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t'))
            continue;
        if (!isDigit(c) || v > 99999)
            break;
        v = v * 10 + (c.unicode() - '0');
    }
    return v;
}

QString qtFilter(const FileFilter &f)
{
    return f.description + QStringLiteral(" (") + QString(f.pattern).replace(QLatin1Char(';'), QLatin1Char(' '))
           + QLatin1Char(')');
}

QString realChooser(QWidget *owner, const FileRequest &request)
{
    QStringList filters;
    for (const FileFilter &f : request.filters)
        filters << qtFilter(f);
    // An existing file is required; nothing is added to a recent-files list.
    return QFileDialog::getOpenFileName(owner, request.title, QString(), filters.join(QStringLiteral(";;")));
}

} // namespace

const QList<FileFilter> &imageFileFilters()
{
    // "*gif" (no dot) is kept: it matches every name ending in gif, which
    // includes the .gif files the list is meant to show.
    static const QList<FileFilter> filters = {
        {QStringLiteral("All Images"), QStringLiteral("*gif;*.bmp;*.jpg;*.jpeg;*.ico;*.cur;*.wmf;*.emf;*.png")},
        {QStringLiteral("Bitmaps"), QStringLiteral("*.bmp")},
        {QStringLiteral("GIFs"), QStringLiteral("*.gif")},
        {QStringLiteral("Icons and Cursors"), QStringLiteral("*.ico;*.cur")},
        {QStringLiteral("JPGs"), QStringLiteral("*.jpg;*.jpeg")},
        {QStringLiteral("Meta Files"), QStringLiteral("*.wmf;*.emf")},
        {QStringLiteral("PNGs"), QStringLiteral("*.png")},
        {QStringLiteral("All Files"), QStringLiteral("*.*")},
    };
    return filters;
}

QString iconItemText(const imaging::c32bppDIB::IconSize &entry)
{
    const auto three = [](int v) { return QStringLiteral("%1").arg(v, 3, 10, QLatin1Char('0')); };
    QString colours;
    switch (std::uint32_t(entry[3])) {
    case 0xFF000000u: colours = QStringLiteral("True Color}"); break;
    case 0xFFFFFFFFu: colours = QStringLiteral("True Color Alpha}"); break;
    case 0x00FFFF00u: colours = QStringLiteral("High Color}"); break;
    default: colours = QString::number(entry[3]) + QStringLiteral(" colors}");
    }
    return three(entry[0]) + QLatin1Char('x') + three(entry[1]) + QStringLiteral(" {") + QString::number(entry[2])
           + QStringLiteral(" bit, ") + colours;
}

int iconSortKey(const imaging::c32bppDIB::IconSize &entry)
{
    return entry[0] * entry[1] + entry[2]; // at most 256 x 256 + 32
}

QString formatText(int imageType, bool alpha)
{
    switch (imageType) {
    case imaging::Bitmap: return QStringLiteral("Bitmap or JPG file");
    case imaging::Metafile:
    case imaging::EnhancedMetafile: return QStringLiteral("Windows Meta File");
    case imaging::AlphaBitmap:
    case imaging::PremultipliedBitmap: return QStringLiteral("Alpha Bitmap");
    case imaging::Gif: return alpha ? QStringLiteral("Transparent GIF") : QStringLiteral("GIF file");
    case imaging::Png: return QStringLiteral("PNG file");
    default: return QString();
    }
}

ppgSourceImage::ppgSourceImage(QWidget *parent) : QWidget(parent)
{
    setWindowTitle(QStringLiteral("Image Source"));
    setFixedSize(px(kPageWidth), px(kPageHeight));
    setAcceptDrops(true);

    Shape1 = new QFrame(this);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameShape(QFrame::Box);
    Shape1->setGeometry(twipRect(kFrameLeft, kFrameTop, kFrameWidth, kFrameHeight));

    // The preview is a control on a page that the designer shows: design mode.
    ucAlphaImage1 = new controls::aicAlphaImage(this, false);
    ucAlphaImage1->setObjectName(QStringLiteral("ucAlphaImage1"));
    ucAlphaImage1->setGeometry(twipRect(480, 600, 2175, 2055));
    ucAlphaImage1->setKeepOriginalFormat(true);
    ucAlphaImage1->hide();

    const auto button = [this](const char *name, const QString &text, int top) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setGeometry(twipRect(3090, top, 1605, 480));
        return b;
    };
    cmdBrowse = button("cmdBrowse", QStringLiteral("Browse"), 915);
    cmdClipBoard = button("cmdClipBoard", QStringLiteral("From Clipboard"), 1500);
    Command1 = button("Command1", QStringLiteral("Clear Image"), 2100);

    cboIcon = new QComboBox(this);
    cboIcon->setObjectName(QStringLiteral("cboIcon"));
    cboIcon->setFont(QFont(QStringLiteral("Arial"), 8));
    cboIcon->setGeometry(twipRect(120, 3120, 2955, 330));
    cboIcon->hide();

    lblFormat = new QLabel(this);
    lblFormat->setObjectName(QStringLiteral("lblFormat"));
    lblFormat->setGeometry(twipRect(165, 3120, 4605, 345));

    connect(cmdBrowse, &QPushButton::clicked, this, &ppgSourceImage::cmdBrowse_Click);
    connect(cmdClipBoard, &QPushButton::clicked, this, &ppgSourceImage::cmdClipBoard_Click);
    connect(Command1, &QPushButton::clicked, this, &ppgSourceImage::Command1_Click);
    // activated: only the user's choice; the page's own selection calls the
    // handler itself.
    connect(cboIcon, &QComboBox::activated, this, [this] { cboIcon_Click(); });
}

void ppgSourceImage::setChanged(bool on)
{
    m_changed = on;
    emit changedMarked(on);
}

// ---- preview -------------------------------------------------------------------

void ppgSourceImage::HidePreview()
{
    ucAlphaImage1->hide();
    ucAlphaImage1->ClearImage();
}

void ppgSourceImage::ShowPreview()
{
    const int w = px(kFrameWidth) - 2, h = px(kFrameHeight) - 2;
    int W = 0, H = 0;
    ucAlphaImage1->GetImageScales(W, H, controls::aicAlphaImage::ScaleMethodShrinkToFit, w, h);
    if (W < 1 || H < 1)
        return;
    const int left = kFrameLeft + (kFrameWidth - W * kTwipsPerPixel) / 2;
    const int top = kFrameTop + (kFrameHeight - H * kTwipsPerPixel) / 2;
    ucAlphaImage1->setGeometry(px(left), px(top), W, H);
    ucAlphaImage1->show();
}

// ---- description ---------------------------------------------------------------

void ppgSourceImage::clearDescription()
{
    cboIcon->hide();
    cboIcon->clear();
    lblFormat->clear();
    lblFormat->show();
}

bool ppgSourceImage::DescribeImage()
{
    const imaging::c32bppDIB &surface = ucAlphaImage1->GetSourceSurface();
    std::vector<imaging::c32bppDIB::IconSize> entries;
    const int n = surface.SourceIconSizes(entries);
    if (n > 0) {
        lblFormat->hide();
        cboIcon->clear();
        for (const auto &entry : entries) {
            const int key = iconSortKey(entry);
            int at = 0;
            while (at < cboIcon->count() && cboIcon->itemData(at).toInt() <= key)
                ++at; // before the first larger key: equal keys keep file order
            cboIcon->insertItem(at, iconItemText(entry), key);
        }
        cboIcon->show();
    } else {
        lblFormat->setText(QString::number(surface.Width()) + QStringLiteral(" x ") + QString::number(surface.Height())
                           + QStringLiteral(" - ") + formatText(surface.ImageType(), surface.Alpha()));
        cboIcon->hide();
        cboIcon->clear();
        lblFormat->show();
    }
    if (cboIcon->count() > 0) {
        cboIcon->setCurrentIndex(cboIcon->count() - 1);
        cboIcon_Click();
    }
    cboIcon->setEnabled(cboIcon->count() > 1);
    return cboIcon->count() > 0;
}

void ppgSourceImage::SelectedIconSize(int &Width, int &Height, int &Depth) const
{
    Width = Height = Depth = 0;
    if (cboIcon->isHidden() || cboIcon->currentIndex() < 0)
        return;
    const QString text = cboIcon->currentText();
    Width = leadingNumber(QStringView(text).left(3));
    Height = leadingNumber(QStringView(text).mid(4, 3));
    const qsizetype brace = text.indexOf(QLatin1Char('{'));
    if (brace >= 0)
        Depth = leadingNumber(QStringView(text).mid(brace + 1, 3));
}

// ---- choices -------------------------------------------------------------------

QString ppgSourceImage::ChooseImageFile()
{
    const FileRequest request{QStringLiteral("Select Image"), imageFileFilters()};
    return m_chooser ? m_chooser(request) : realChooser(this, request);
}

void ppgSourceImage::loadFile(const QString &name)
{
    m_replaced = true;
    HidePreview();
    // The preview's size is the wanted icon size.
    const bool ok = ucAlphaImage1->LoadImage_FromFile(name, ucAlphaImage1->width(), ucAlphaImage1->height());
    if (ok) {
        if (!DescribeImage())
            ShowPreview();
    } else {
        clearDescription(); // no entries or size of an image that is gone
    }
    setChanged(true);
    emit fileLoaded(name, ok);
}

void ppgSourceImage::cmdBrowse_Click()
{
    const QString name = ChooseImageFile();
    if (!name.isEmpty())
        loadFile(name);
}

void ppgSourceImage::cmdClipBoard_Click()
{
    using namespace platform;
    if (ClipboardHasFormat(CF_BITMAP) || ClipboardHasFormat(CF_DIB) || ClipboardHasFormat(CF_ENHMETAFILE)
        || ClipboardHasFormat(CF_METAFILEPICT)) {
        HidePreview();
        m_replaced = true; // the preview is cleared even when the paste fails
        if (ucAlphaImage1->LoadImage_FromClipboard()) {
            // Describe the pasted picture too, so that the list or the label
            // never shows the previous image's entries or size.
            if (!DescribeImage())
                ShowPreview();
            setChanged(true);
        } else {
            clearDescription();
        }
        return;
    }
    QStringList files;
    if (ucAlphaImage1->GetSourceSurface().GetPastedFileNames(files) > 0 && !files.first().isEmpty())
        loadFile(files.first());
}

void ppgSourceImage::OLEDragDrop(platform::DataObject &Data)
{
    ucAlphaImage1->GetSourceSurface().GetDroppedFileNames(&Data);
    if (!Data.Files.isEmpty() && !Data.Files.first().isEmpty())
        loadFile(Data.Files.first());
}

void ppgSourceImage::Command1_Click()
{
    m_replaced = true;
    HidePreview();
    clearDescription();
    setChanged(true);
}

void ppgSourceImage::cboIcon_Click()
{
    imaging::ByteArray bytes;
    ucAlphaImage1->GetSourceBytes(bytes);
    HidePreview();
    int w = 0, h = 0, d = 0;
    SelectedIconSize(w, h, d);
    if (ucAlphaImage1->LoadImage_FromArray(bytes, w, h, d))
        ShowPreview();
    setChanged(true);
}

// ---- designer events -----------------------------------------------------------

void ppgSourceImage::SelectionChanged(controls::aicAlphaImage *first)
{
    if (first) {
        HidePreview();
        m_edited = first;
        imaging::ByteArray bytes;
        if (first->GetSourceBytes(bytes) && !bytes.empty()) {
            if (ucAlphaImage1->LoadImage_FromArray(bytes, ucAlphaImage1->width(), ucAlphaImage1->height())) {
                if (!DescribeImage())
                    ShowPreview();
            } else {
                clearDescription();
            }
        } else {
            ucAlphaImage1->ClearImage();
            clearDescription();
        }
    } else {
        m_edited = nullptr;
    }
    m_replaced = false;
    setChanged(false);
}

void ppgSourceImage::ApplyChanges()
{
    if (!m_edited)
        return;
    imaging::ByteArray bytes;
    if (ucAlphaImage1->GetSourceBytes(bytes) && !bytes.empty()) {
        int w = 0, h = 0, d = 0;
        SelectedIconSize(w, h, d);
        m_edited->LoadSourceBytes(bytes, w, h, d);
    } else {
        m_edited->ClearImage();
    }
    m_replaced = false;
    setChanged(false);
}

// ---- drops ---------------------------------------------------------------------

void ppgSourceImage::dragEnterEvent(QDragEnterEvent *e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void ppgSourceImage::dragMoveEvent(QDragMoveEvent *e)
{
    if (e->mimeData()->hasUrls())
        e->acceptProposedAction();
}

void ppgSourceImage::dropEvent(QDropEvent *e)
{
    platform::DataObject data = platform::DataObject::fromMimeData(*e->mimeData());
    if (data.Files.isEmpty())
        return;
    e->acceptProposedAction();
    OLEDragDrop(data);
}

} // namespace skineditor
