// The "Image Source" page: describing icons and other images, the preview in
// its frame, the ways an image arrives (dialog, clipboard, drop), clearing and
// applying to the edited control.
#include "editor_fixtures.h"
#include "imagesourcepage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

using namespace editor_fixtures;
using skineditor::FileRequest;
using skineditor::ppgSourceImage;

namespace {

QStringList items(const QComboBox *c)
{
    QStringList out;
    for (int i = 0; i < c->count(); ++i)
        out << c->itemText(i);
    return out;
}

// A page whose dialog answers with `answer` and records what it was asked.
struct Page {
    ppgSourceImage page;
    QString answer;
    QList<FileRequest> asked;
    Page()
    {
        page.setFileChooser([this](const FileRequest &r) {
            asked << r;
            return answer;
        });
    }
    void browse(const QString &file)
    {
        answer = file;
        page.cmdBrowse_Click();
    }
    QSize selected() const
    {
        int w = 0, h = 0, d = 0;
        page.SelectedIconSize(w, h, d);
        return QSize(w, h);
    }
    int selectedDepth() const
    {
        int w = 0, h = 0, d = 0;
        page.SelectedIconSize(w, h, d);
        return d;
    }
    const imaging::c32bppDIB &preview() const { return page.ucAlphaImage1->GetSourceSurface(); }
};

// The clipboard as a test leaves it: cleared afterwards.
struct ScopedClipboard {
    explicit ScopedClipboard(QMimeData *data) { QGuiApplication::clipboard()->setMimeData(data); }
    ~ScopedClipboard() { QGuiApplication::clipboard()->clear(); }
};

} // namespace

TEST(ImageSourcePage, IconItemTextsAndFormatTexts)
{
    using E = imaging::c32bppDIB::IconSize;
    const struct {
        E entry;
        const char *text;
    } icons[] = {
        {E{16, 16, 8, 256}, "016x016 {8 bit, 256 colors}"},
        {E{48, 48, 32, -1}, "048x048 {32 bit, True Color Alpha}"},
        {E{32, 24, 24, std::int32_t(0xFF000000u)}, "032x024 {24 bit, True Color}"},
        {E{16, 16, 16, 0xFFFF00}, "016x016 {16 bit, High Color}"},
        {E{256, 256, 1, 2}, "256x256 {1 bit, 2 colors}"},
    };
    for (const auto &c : icons)
        EXPECT_EQ(skineditor::iconItemText(c.entry), QString::fromLatin1(c.text));
    EXPECT_EQ(skineditor::iconSortKey(E{16, 16, 8, 256}), 264);

    const struct {
        int type;
        bool alpha;
        const char *text;
    } formats[] = {
        {imaging::Bitmap, false, "Bitmap or JPG file"},    {imaging::Metafile, false, "Windows Meta File"},
        {imaging::EnhancedMetafile, false, "Windows Meta File"}, {imaging::AlphaBitmap, true, "Alpha Bitmap"},
        {imaging::PremultipliedBitmap, true, "Alpha Bitmap"}, {imaging::Gif, true, "Transparent GIF"},
        {imaging::Gif, false, "GIF file"},                  {imaging::Png, true, "PNG file"},
        {imaging::Icon, false, ""},                         {imaging::Checkerboard, false, ""},
    };
    for (const auto &f : formats)
        EXPECT_EQ(skineditor::formatText(f.type, f.alpha), QString::fromLatin1(f.text)) << f.type;
}

TEST(ImageSourcePage, EightEntryIconIsListedSortedWithTheLargestChosen)
{
    const QStringList sorted = {
        "016x016 {8 bit, 256 colors}", "016x016 {32 bit, True Color Alpha}", "024x024 {8 bit, 256 colors}",
        "024x024 {32 bit, True Color Alpha}", "032x032 {8 bit, 256 colors}", "032x032 {32 bit, True Color Alpha}",
        "048x048 {8 bit, 256 colors}", "048x048 {32 bit, True Color Alpha}",
    };
    Files files;
    // The file's own order, and the reverse: the list is sorted either way.
    for (const QByteArray &ico : {noteIcon(), reversedDirectory(noteIcon())}) {
        Page p;
        p.browse(files.write("icon.ico", ico));
        EXPECT_EQ(items(p.page.cboIcon), sorted);
        EXPECT_EQ(p.page.cboIcon->itemData(0).toInt(), 16 * 16 + 8);
        EXPECT_EQ(p.page.cboIcon->currentIndex(), 7);
        EXPECT_TRUE(p.page.cboIcon->isEnabled());
        EXPECT_FALSE(p.page.cboIcon->isHidden());
        EXPECT_TRUE(p.page.lblFormat->isHidden());
        EXPECT_EQ(p.selected(), QSize(48, 48));
        EXPECT_EQ(p.selectedDepth(), 32);
        // The preview shows that entry, at its own size in the frame.
        EXPECT_EQ(p.preview().ImageType(), imaging::PngIcon); // its 32-bit entries are PNG
        EXPECT_EQ(p.page.ucAlphaImage1->size(), QSize(48, 48));
        EXPECT_FALSE(p.page.ucAlphaImage1->isHidden());
        EXPECT_TRUE(p.page.Changed());

        // Choosing another entry shows it.
        p.page.cboIcon->setCurrentIndex(0);
        p.page.cboIcon_Click();
        EXPECT_EQ(p.selected(), QSize(16, 16));
        EXPECT_EQ(p.selectedDepth(), 8);
        EXPECT_EQ(p.preview().ImageType(), imaging::Icon);
        EXPECT_EQ(p.page.ucAlphaImage1->size(), QSize(16, 16));
    }
}

TEST(ImageSourcePage, SingleEntryIconAndPngAreDescribed)
{
    Files files;
    Page p;
    p.browse(files.write("one.ico", singleEntry(noteIcon(), 3)));
    EXPECT_EQ(items(p.page.cboIcon), QStringList{"024x024 {32 bit, True Color Alpha}"});
    EXPECT_EQ(p.page.cboIcon->currentIndex(), 0);
    EXPECT_FALSE(p.page.cboIcon->isEnabled());
    EXPECT_EQ(p.selected(), QSize(24, 24));

    p.browse(files.write("a.png", png(48, 48)));
    EXPECT_EQ(p.page.lblFormat->text(), QStringLiteral("48 x 48 - PNG file"));
    EXPECT_FALSE(p.page.lblFormat->isHidden());
    EXPECT_TRUE(p.page.cboIcon->isHidden());
    EXPECT_EQ(p.page.cboIcon->count(), 0);
    EXPECT_EQ(p.selected(), QSize(0, 0));
}

TEST(ImageSourcePage, PreviewIsShrunkIntoTheFrameOrCentredAtItsOwnSize)
{
    // The frame is 192 pixels square at (10, 14); the preview fits 190 x 190.
    const struct {
        int w, h;
        QRect shown;
    } cases[] = {
        {380, 190, QRect(11, 62, 190, 95)},  // larger: shrunk to fit, centred
        {190, 400, QRect(61, 15, 90, 190)},  //   (tall)
        {48, 48, QRect(82, 86, 48, 48)},     // smaller: own size, centred
        {1, 1, QRect(105, 109, 1, 1)},
    };
    Files files;
    for (const auto &c : cases) {
        Page p;
        p.browse(files.write("p.png", png(c.w, c.h)));
        EXPECT_EQ(p.page.ucAlphaImage1->geometry(), c.shown) << c.w << "x" << c.h;
        EXPECT_EQ(p.preview().Width(), c.w); // the image itself is not scaled
    }
}

TEST(ImageSourcePage, DialogIsAskedWithItsTitleAndFiltersAndCancelChangesNothing)
{
    Files files;
    Page p;
    p.browse(files.write("a.png", png(48, 48)));
    ASSERT_EQ(p.asked.size(), 1);
    EXPECT_EQ(p.asked[0].title, QStringLiteral("Select Image"));
    QStringList filters;
    for (const auto &f : p.asked[0].filters)
        filters << f.description + "|" + f.pattern;
    EXPECT_EQ(filters, (QStringList{"All Images|*gif;*.bmp;*.jpg;*.jpeg;*.ico;*.cur;*.wmf;*.emf;*.png",
                                    "Bitmaps|*.bmp", "GIFs|*.gif", "Icons and Cursors|*.ico;*.cur",
                                    "JPGs|*.jpg;*.jpeg", "Meta Files|*.wmf;*.emf", "PNGs|*.png", "All Files|*.*"}));


    // A control with an image selected: cancelling leaves page and preview as they were.
    controls::aicAlphaImage edited(nullptr, false);
    imaging::ByteArray b = toBytes(png(60, 30));
    edited.LoadSourceBytes(b, 0, 0, 0);
    p.page.SelectionChanged(&edited);
    const QRect shown = p.page.ucAlphaImage1->geometry();
    p.browse(QString());
    EXPECT_EQ(p.asked.size(), 2);
    EXPECT_FALSE(p.page.Changed());
    EXPECT_EQ(p.page.lblFormat->text(), QStringLiteral("60 x 30 - PNG file"));
    EXPECT_FALSE(p.page.ucAlphaImage1->isHidden());
    EXPECT_EQ(p.page.ucAlphaImage1->geometry(), shown);
    EXPECT_EQ(p.preview().Width(), 60);
}

TEST(ImageSourcePage, ClipboardGivesAFileOrAPictureOrNothing)
{
    Files files;
    const QString icon = files.write("clip.ico", noteIcon());

    {   // Files copied in a file manager: the first one is loaded.
        Page p;
        auto *data = new QMimeData;
        data->setUrls({QUrl::fromLocalFile(icon), QUrl::fromLocalFile(files.write("x.png", png(8, 8)))});
        ScopedClipboard clip(data);
        p.page.cmdClipBoard_Click();
        EXPECT_EQ(p.page.cboIcon->count(), 8);
        EXPECT_EQ(p.preview().ImageType(), imaging::PngIcon); // its 32-bit entries are PNG
        EXPECT_TRUE(p.page.Changed());
    }
    {   // Nothing usable (text only): nothing happens.
        Page p;
        p.browse(files.write("a.png", png(48, 48)));
        controls::aicAlphaImage edited(nullptr, false);
        imaging::ByteArray b = toBytes(png(48, 48));
        edited.LoadSourceBytes(b, 0, 0, 0);
        p.page.SelectionChanged(&edited);
        auto *data = new QMimeData;
        data->setText(icon);
        ScopedClipboard clip(data);
        p.page.cmdClipBoard_Click();
        EXPECT_FALSE(p.page.Changed());
        EXPECT_EQ(p.page.lblFormat->text(), QStringLiteral("48 x 48 - PNG file"));
        EXPECT_FALSE(p.page.ucAlphaImage1->isHidden());
    }
    {   // A picture: shown, and described in place of the previous image.
        Page p;
        p.browse(icon);
        QImage img(30, 20, QImage::Format_RGB32);
        img.fill(Qt::red);
        auto *data = new QMimeData;
        data->setImageData(img);
        ScopedClipboard clip(data);
        p.page.cmdClipBoard_Click();
        EXPECT_EQ(p.preview().Width(), 30);
        EXPECT_FALSE(p.page.ucAlphaImage1->isHidden());
        EXPECT_TRUE(p.page.cboIcon->isHidden());
        EXPECT_TRUE(p.page.lblFormat->text().startsWith(QStringLiteral("30 x 20 - ")));
        imaging::ByteArray kept;
        EXPECT_TRUE(p.page.ucAlphaImage1->GetSourceBytes(kept)); // a BMP file of the picture
    }
}

TEST(ImageSourcePage, DropLoadsTheFirstFile)
{
    Files files;
    Page p;
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(files.write("d.png", png(40, 20))), QUrl::fromLocalFile(files.write("e.ico", noteIcon()))});
    platform::DataObject data = platform::DataObject::fromMimeData(mime);
    p.page.OLEDragDrop(data);
    EXPECT_EQ(p.page.lblFormat->text(), QStringLiteral("40 x 20 - PNG file"));
    EXPECT_TRUE(p.page.Changed());
}

TEST(ImageSourcePage, ApplyHandsTheChosenEntryOrClearsTheControl)
{
    Files files;
    Page p;
    controls::aicAlphaImage edited(nullptr, false);
    edited.resize(48, 48);
    p.page.SelectionChanged(&edited);
    p.browse(files.write("n.ico", noteIcon()));
    p.page.cboIcon->setCurrentIndex(2); // 24 x 24 at 8 bits
    p.page.cboIcon_Click();
    EXPECT_FALSE(edited.GetSourceSurface().Width() == 24) << "nothing reaches the control before Apply";
    p.page.ApplyChanges();
    EXPECT_FALSE(p.page.Changed());
    EXPECT_EQ(edited.GetSourceSurface().Width(), 24);
    EXPECT_EQ(edited.GetSourceSurface().ImageType(), imaging::Icon);
    EXPECT_EQ(edited.size(), QSize(24, 24)); // it takes the image's own size
    EXPECT_EQ(edited.storedIconSize(), QSize(24, 24));
    EXPECT_EQ(edited.storedIconDepth(), 8);
    imaging::ByteArray kept;
    ASSERT_TRUE(edited.GetSourceBytes(kept));
    EXPECT_EQ(fromBytes(kept).size(), noteIcon().size()); // the whole icon file

    // Selecting the control again describes its image (the largest entry).
    p.page.SelectionChanged(&edited);
    EXPECT_EQ(p.page.cboIcon->count(), 8);
    EXPECT_FALSE(p.page.Changed());

    p.page.Command1_Click();
    EXPECT_TRUE(p.page.ucAlphaImage1->isHidden());
    EXPECT_TRUE(p.page.cboIcon->isHidden());
    EXPECT_EQ(p.page.cboIcon->count(), 0);
    EXPECT_EQ(edited.GetSourceSurface().Width(), 24) << "still nothing before Apply";
    p.page.ApplyChanges();
    EXPECT_FALSE(edited.GetSourceBytes(kept));
    controls::PropertyBag bag;
    edited.WriteProperties(bag);
    EXPECT_FALSE(bag.contains(u"Image"));
    EXPECT_FALSE(bag.contains(u"IconWidth"));
}

TEST(ImageSourcePage, FileThatNoDecoderAcceptsLeavesThePageEmpty)
{
    Files files;
    Page p;
    controls::aicAlphaImage edited(nullptr, false);
    imaging::ByteArray b = toBytes(png(48, 48));
    edited.LoadSourceBytes(b, 0, 0, 0);
    p.page.SelectionChanged(&edited);
    ASSERT_EQ(p.page.lblFormat->text(), QStringLiteral("48 x 48 - PNG file"));
    p.browse(files.write("junk.png", QByteArray("not a picture at all")));
    EXPECT_TRUE(p.page.Changed());
    EXPECT_TRUE(p.page.ucAlphaImage1->isHidden());
    EXPECT_TRUE(p.page.lblFormat->text().isEmpty()) << "no size of an image that is gone";
    p.page.ApplyChanges();
    imaging::ByteArray kept;
    EXPECT_FALSE(edited.GetSourceBytes(kept));
}
