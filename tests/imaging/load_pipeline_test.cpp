// The loading pipeline: the minimum size, stream bounds, kept original bytes,
// the state after early rejections and failed decodes, handles, pictures,
// resources, the clipboard and drops.
#include "formats_fixture.h"

#include "imaging/ico_parser.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

using namespace fmttest;

namespace {

Bytes smallPng()
{
    return pngtest::simplePng(2, 2, 8, 6, {{200, 100, 50, 128, 0, 0, 0, 0}, {1, 2, 3, 255, 4, 5, 6, 255}});
}

Bytes smallGif()
{
    GifFrame f{0, 0, 3, 3, {0, 1, 2, 3, 0, 1, 2, 3, 0}};
    return gifFile(3, 3, {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF}, {f});
}

// A surface that already holds a 5 x 5 image.
void preload(imaging::c32bppDIB &dib)
{
    ASSERT_TRUE(dib.InitializeDIB(5, 5));
    dib.setImageType(imaging::Bitmap);
}

} // namespace

TEST(LoadPipeline, FiftySixBytesAreNeverOffered)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A small GIF padded after its trailer: 56 bytes are never offered to a
    // decoder (the surface keeps its image), 57 bytes decode.
    const Bytes gif = smallGif();
    ASSERT_LT(gif.size(), 56u);
    for (const std::size_t size : {std::size_t(56), std::size_t(57)}) {
        SCOPED_TRACE(size);
        Bytes part = gif;
        part.resize(size, 0);
        const QString path = dir.filePath(QString::number(size));
        ASSERT_TRUE(writeFile(path, part));
        imaging::c32bppDIB fromFile, fromStream;
        preload(fromFile);
        preload(fromStream);
        imaging::ByteArray bytes = toArray(part);
        EXPECT_EQ(fromFile.LoadPicture_File(path), size == 57);
        EXPECT_EQ(fromStream.LoadPicture_Stream(bytes), size == 57);
        EXPECT_EQ(fromFile.Width(), size == 57 ? 3 : 5);
        EXPECT_EQ(fromStream.ImageType(), size == 57 ? imaging::Gif : imaging::Bitmap);
    }
    // 57 bytes that no decoder takes: a decoder was reached, nothing is left.
    const Bytes zeros(57, 0);
    ASSERT_TRUE(writeFile(dir.filePath("zeros"), zeros));
    imaging::c32bppDIB fromFile, fromStream;
    preload(fromFile);
    preload(fromStream);
    imaging::ByteArray zeroBytes = toArray(zeros);
    EXPECT_FALSE(fromFile.LoadPicture_File(dir.filePath("zeros")));
    EXPECT_FALSE(fromStream.LoadPicture_Stream(zeroBytes));
    EXPECT_EQ(fromFile.Handle(), 0u);
    EXPECT_EQ(fromFile.ImageType(), imaging::NoImage);
    EXPECT_EQ(fromStream.ImageType(), imaging::NoImage);

    // A 57-byte PNG-sized stream of a real image decodes.
    const Bytes png = smallPng();
    ASSERT_GE(png.size(), 57u);
    imaging::ByteArray bytes = toArray(png);
    imaging::c32bppDIB dib;
    EXPECT_TRUE(dib.LoadPicture_Stream(bytes));
    // Missing files and empty arrays are early rejections.
    preload(dib);
    imaging::ByteArray empty;
    EXPECT_FALSE(dib.LoadPicture_File(dir.filePath("missing")));
    EXPECT_FALSE(dib.LoadPicture_Stream(empty));
    EXPECT_EQ(dib.Width(), 5);
}

TEST(LoadPipeline, StreamBoundsAndSlices)
{
    const Bytes png = smallPng();
    imaging::c32bppDIB dib;
    // A start below the lower bound reads from the lower bound.
    imaging::ByteArray bytes = toArray(png);
    EXPECT_TRUE(dib.LoadPicture_Stream(bytes, 0, 0, -7, 0));
    EXPECT_EQ(dib.ImageType(), imaging::Png);

    // A middle slice of a bigger array, kept whole as the original bytes.
    Bytes padded;
    padded.reserve(40 + png.size() + 30);
    padded.assign(40, 0xEE);
    padded.insert(padded.end(), png.begin(), png.end());
    padded.insert(padded.end(), 30, 0xDD);
    imaging::ByteArray middle = toArray(padded);
    ASSERT_TRUE(dib.LoadPicture_Stream(middle, 0, 0, 40, std::int32_t(png.size()), true));
    EXPECT_EQ(dib.Width(), 2);
    EXPECT_EQ(dib.originalBytes(), padded);

    // The same slice without SaveFormat keeps nothing; a slice past the end fails.
    ASSERT_TRUE(dib.LoadPicture_Stream(middle, 0, 0, 40, std::int32_t(png.size()), false));
    EXPECT_TRUE(dib.originalBytes().empty());
    EXPECT_FALSE(dib.LoadPicture_Stream(middle, 0, 0, 40, std::int32_t(padded.size())));
    EXPECT_EQ(dib.ImageType(), imaging::NoImage);
}

TEST(LoadPipeline, KeepsOriginalBytesOfFiles)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    struct Case {
        const char *name;
        Bytes bytes;
        std::int32_t type;
    };
    const Case cases[] = {
        {"a.png", smallPng(), imaging::Png},
        {"a.gif", smallGif(), imaging::Gif},
        {"a.ico", iconFile({solidImage(16, 8), solidImage(32, 32)}), imaging::AlphaIcon},
        {"a.bmp", bmp32(3, 1, {0xFF010203, 0xFF040506, 0xFF070809}), imaging::Bitmap},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(c.name);
        Bytes file = c.bytes;
        file.resize(std::max<std::size_t>(file.size(), 57), 0);
        ASSERT_TRUE(writeFile(path, file));
        imaging::c32bppDIB dib;
        ASSERT_TRUE(dib.LoadPicture_File(path, 0, 0, true));
        EXPECT_EQ(dib.ImageType(), c.type);
        Bytes expected = file;
        if (c.type == imaging::AlphaIcon) {
            // The decoded entry's header was rewritten in the array that is kept.
            imaging::ByteArray copy = toArray(file);
            std::int32_t o = 0, l = 0, b = 32;
            std::uint32_t t = 0;
            imaging::c32bppDIB scratch;
            imaging::cICOparser().LoadStream(copy, 0, 0, &scratch, o, l, b, t);
            expected = copy.toVector();
            EXPECT_NE(expected, file);
        }
        EXPECT_EQ(dib.originalBytes(), expected);
        imaging::ByteArray out;
        EXPECT_TRUE(dib.GetOrginalFormat(out));

        // Decoding the kept bytes again at another icon size keeps them.
        ASSERT_TRUE(dib.LoadPicture_FromOrignalFormat(16, 16, 8));
        EXPECT_FALSE(dib.originalBytes().empty());
        if (c.type == imaging::AlphaIcon) {
            EXPECT_EQ(dib.Width(), 16);
        }
    }
    // Without kept bytes: false and the image stays.
    imaging::c32bppDIB dib;
    preload(dib);
    EXPECT_FALSE(dib.LoadPicture_FromOrignalFormat());
    EXPECT_EQ(dib.Width(), 5);
}

TEST(LoadPipeline, IconChoiceArgumentsAndSettingsSurvive)
{
    imaging::ByteArray bytes = toArray(iconFile({solidImage(16, 8), solidImage(16, 32), solidImage(48, 8)}));
    imaging::c32bppDIB dib;
    dib.setManageOwnDC(true);
    dib.setGdiToken(77);
    // Negative sizes become 0 (read as 32); a depth above 32 becomes 32.
    ASSERT_TRUE(dib.LoadPicture_Stream(bytes, -5, -5, 0, 0, false, 99));
    EXPECT_EQ(dib.Width(), 48);
    ASSERT_TRUE(dib.LoadPicture_Stream(bytes, 16, 16, 0, 0, false, 32));
    EXPECT_EQ(dib.ImageType(), imaging::AlphaIcon);
    ASSERT_TRUE(dib.LoadPicture_Stream(bytes, 16, 16, 0, 0, false, 8));
    EXPECT_EQ(dib.ImageType(), imaging::Icon);
    EXPECT_TRUE(dib.ManageOwnDC());
    EXPECT_EQ(dib.gdiToken(), 77u);
}

TEST(LoadPipeline, ByHandleTakesTheHandleOver)
{
    imaging::c32bppDIB dib;
    const gdi::HBITMAP bmp = gdi::CreateCompatibleBitmap(0, 4, 3);
    ASSERT_TRUE(bmp);
    EXPECT_TRUE(dib.LoadPicture_ByHandle(bmp));
    EXPECT_EQ(dib.Width(), 4);
    EXPECT_EQ(dib.Height(), 3);
    EXPECT_EQ(dib.ImageType(), imaging::Bitmap);
    EXPECT_FALSE(dib.Alpha());
    EXPECT_EQ(gdi::GetObjectType(bmp), 0u);   // destroyed
    preload(dib);
    EXPECT_FALSE(dib.LoadPicture_ByHandle(bmp));
    EXPECT_EQ(dib.Width(), 5);
    EXPECT_FALSE(dib.LoadPicture_ByHandle(0));

    // An icon handle: converted through its mask, then destroyed.
    const std::uint8_t maskRows[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    gdi::ICONINFO info;
    info.hbmMask = gdi::CreateBitmap(2, 2, 1, 1, maskRows);
    info.hbmColor = gdi::CreateCompatibleBitmap(0, 2, 2);
    const gdi::HICON icon = gdi::CreateIconIndirect(info);
    gdi::DeleteObject(info.hbmMask);
    gdi::DeleteObject(info.hbmColor);
    const int live = gdi::liveObjectCount();
    EXPECT_TRUE(dib.LoadPicture_ByHandle(icon));
    EXPECT_EQ(dib.ImageType(), imaging::Icon);
    EXPECT_FALSE(gdi::isIcon(icon));
    EXPECT_LE(gdi::liveObjectCount(), live);   // the icon's bitmaps went with it
    EXPECT_FALSE(dib.LoadPicture_ByHandle(icon));
}

TEST(LoadPipeline, PicturesAndResources)
{
    imaging::c32bppDIB dib;
    preload(dib);
    // No picture: the surface is emptied.
    EXPECT_FALSE(dib.LoadPicture_StdPicture(nullptr));
    EXPECT_EQ(dib.ImageType(), imaging::NoImage);

    const Bytes gif = smallGif();
    ASSERT_TRUE(dib.LoadPicture_StdPicture(platform::PictureFromBytes(gif)));
    EXPECT_EQ(dib.ImageType(), imaging::Bitmap);
    EXPECT_EQ(dib.Width(), 3);

    // A resource module of the test's own: raw data by type name, pictures by kind.
    struct Module : platform::ResourceModule {
        bool LoadResData(const QVariant &id, const QString &type, std::vector<std::uint8_t> &out) const override
        {
            if (id.toInt() != 101 || type != QLatin1String("PNG"))
                return false;
            out = smallPng();
            return true;
        }
        platform::Picture LoadResPicture(const QVariant &id, int kind) const override
        {
            return id.toInt() == 5 && kind == 0 ? platform::PictureFromBytes(smallGif()) : nullptr;
        }
    } module;
    ASSERT_TRUE(dib.LoadPicture_Resource(101, QStringLiteral("PNG"), &module));
    EXPECT_EQ(dib.ImageType(), imaging::Png);
    EXPECT_TRUE(dib.originalBytes().empty());
    ASSERT_TRUE(dib.LoadPicture_Resource(5, 0, &module));
    EXPECT_EQ(dib.Width(), 3);
    // A resource that cannot be fetched leaves the image.
    EXPECT_FALSE(dib.LoadPicture_Resource(102, QStringLiteral("PNG"), &module));
    EXPECT_FALSE(dib.LoadPicture_Resource(6, 1, &module));
    EXPECT_EQ(dib.Width(), 3);
    EXPECT_FALSE(dib.LoadPicture_Resource(1, QStringLiteral("NONE")));
}

TEST(LoadPipeline, ClipboardPictureAndPastedFiles)
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    imaging::c32bppDIB dib;
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(QColor(1, 2, 3));
    clipboard->setImage(image);
    if (!clipboard->mimeData() || !clipboard->mimeData()->hasImage())
        GTEST_SKIP() << "no clipboard on this platform";
    ASSERT_TRUE(dib.LoadPicture_ClipBoard());
    EXPECT_EQ(dib.ImageType(), imaging::Bitmap);
    EXPECT_EQ(pixelAt(dib, 2, 1), (Pixel{3, 2, 1, 255}));

    auto *urls = new QMimeData;
    urls->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/가 나.png")), QUrl::fromLocalFile("/tmp/b.ico"),
                   QUrl(QStringLiteral("http://example.invalid/c.png"))});
    clipboard->setMimeData(urls);
    QStringList names;
    EXPECT_EQ(dib.GetPastedFileNames(names), 2);
    EXPECT_EQ(names, (QStringList{QStringLiteral("/tmp/가 나.png"), QStringLiteral("/tmp/b.ico")}));
    // Files are no picture: the image stays.
    EXPECT_FALSE(dib.LoadPicture_ClipBoard());
    EXPECT_EQ(dib.Width(), 3);
    clipboard->clear();
    EXPECT_EQ(dib.GetPastedFileNames(names), 0);
}

TEST(LoadPipeline, DroppedFileNames)
{
    imaging::c32bppDIB dib;
    EXPECT_FALSE(dib.GetDroppedFileNames(nullptr));
    platform::DataObject none;
    EXPECT_FALSE(dib.GetDroppedFileNames(&none));

    // Wide names replace the list the data object had.
    const QStringList full = {QStringLiteral("/home/사용자/아이콘.ico"), QStringLiteral("/tmp/x.png")};
    platform::DataObject wide =
        platform::DataObject::fromDropFiles(platform::MakeDropFiles(full, true), {"ICON~1.ICO", "X.PNG"});
    EXPECT_TRUE(dib.GetDroppedFileNames(&wide));
    EXPECT_EQ(wide.Files, full);

    // Narrow names: the list stays as it was, still true.
    platform::DataObject narrow =
        platform::DataObject::fromDropFiles(platform::MakeDropFiles({"/tmp/a.png"}, false), {"kept"});
    EXPECT_TRUE(dib.GetDroppedFileNames(&narrow));
    EXPECT_EQ(narrow.Files, QStringList{"kept"});

    // A drop's QMimeData: its local files.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile("/tmp/d.gif")});
    platform::DataObject dropped = platform::DataObject::fromMimeData(data);
    EXPECT_TRUE(dib.GetDroppedFileNames(&dropped));
    EXPECT_EQ(dropped.Files, QStringList{"/tmp/d.gif"});
}
