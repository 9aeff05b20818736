// The loading pipeline of the surface: files, byte arrays, resources, picture
// objects, handles, the clipboard and drops.
#include "imaging/c32bppDIB.h"

#include "imaging/bmp_parser.h"
#include "imaging/gif_parser.h"
#include "imaging/ico_parser.h"
#include "imaging/parsers.h"
#include "imaging/png/png_parser.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace imaging {

namespace {

// Encoded data shorter than this is never offered to the decoders.
constexpr std::int64_t kMinimumBytes = 57;

// The size of an open regular file; -1 for anything else (a device or pipe
// could be read for ever) or a file larger than an array may be.
std::int64_t regularFileSize(int fd)
{
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > INT32_MAX)
        return -1;
    return st.st_size;
}

// The whole file, from its start, in one read loop.
bool readWholeFile(int fd, ByteArray &out)
{
    const std::int64_t size = regularFileSize(fd);
    if (size < 0 || ::lseek(fd, 0, SEEK_SET) != 0 || !out.resizeForOverwrite(std::size_t(size)))
        return false;
    std::size_t done = 0;
    while (done < out.size()) {
        const ssize_t n = ::read(fd, out.data() + done, out.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            out.clear();
            return false;
        }
        done += std::size_t(n);
    }
    return true;
}

// Up to maxCount zero-terminated names of a DROPFILES list, one after another.
QStringList dropNames(const std::vector<std::uint8_t> &m, std::int64_t maxCount)
{
    QStringList names;
    if (m.size() < platform::kDropFilesHeaderSize)
        return names;
    const std::uint32_t listOffset =
        std::uint32_t(m[0]) | (std::uint32_t(m[1]) << 8) | (std::uint32_t(m[2]) << 16) | (std::uint32_t(m[3]) << 24);
    std::size_t pos = listOffset;
    while (names.size() < maxCount && pos + 1 < m.size()) {
        QString name;
        while (pos + 1 < m.size() && (m[pos] | m[pos + 1])) {
            name += QChar(char16_t(m[pos] | (m[pos + 1] << 8)));
            pos += 2;
        }
        pos += 2;
        if (name.isEmpty())   // the empty name closes the list
            break;
        names << name;
    }
    return names;
}

bool wideDropList(const std::vector<std::uint8_t> &m)
{
    return m.size() >= platform::kDropFilesHeaderSize && (m[16] | m[17] | m[18] | m[19]) != 0;
}

} // namespace

bool c32bppDIB::loadEncoded(int fileHandle, const QString &fileName, ByteArray &bytes, std::int32_t iconCx,
                            std::int32_t iconCy, std::int32_t start, std::int32_t length, bool saveFormat,
                            std::int32_t iconBitDepth)
{
    DestroyDIB();
    if (iconCx < 0)
        iconCx = 0;
    if (iconCy < 0)
        iconCy = 0;
    if (iconBitDepth < 0 || iconBitDepth > 32)
        iconBitDepth = 32;
    std::uint32_t token = m_gdiToken;
    cPNGparser png;
    bool recognised = fileHandle >= 0 ? png.LoadFile(fileHandle, fileName, *this, token)
                                      : png.LoadStream(bytes.span(), *this, start, length, token);
    if (!recognised) {
        if (fileHandle >= 0) {
            if (!readWholeFile(fileHandle, bytes)) {
                DestroyDIB();
                return false;
            }
            start = 0;
            length = std::int32_t(bytes.size());
        }
        recognised = cGIFparser().LoadStream(bytes.span(), *this, start, length);
        if (!recognised)
            recognised = cICOparser().LoadStream(bytes, iconCx, iconCy, this, start, length, iconBitDepth, token);
        // An icon directory with an unusable entry may still have given the
        // chosen entry's pixels; the bitmap decoder is the last resort only.
        if (!recognised && !m_handle)
            recognised = cBMPparser().LoadStream(bytes.span(), *this, start, length);
    }
    if (!m_handle) {
        DestroyDIB();
        return false;
    }
    if (saveFormat) {
        if (!bytes.empty() || fileHandle < 0) {
            setOriginalBytes(bytes.span());
        } else {
            // A PNG decoded straight from the file: read it again whole.
            ByteArray file;
            if (readWholeFile(fileHandle, file))
                setOriginalBytes(file.span());
        }
    }
    return true;
}

bool c32bppDIB::LoadPicture_File(const QString &FileName, std::int32_t iconCx, std::int32_t iconCy, bool SaveFormat,
                                 std::int32_t iconBitDepth)
{
    const int fd = OpenFileHandle(FileName, true, useWideFileNames());
    if (fd == INVALID_HANDLE_VALUE)
        return false;
    if (regularFileSize(fd) < kMinimumBytes) {
        CloseFileHandle(fd);
        return false;
    }
    ByteArray bytes;
    const bool ok = loadEncoded(fd, FileName, bytes, iconCx, iconCy, 0, 0, SaveFormat, iconBitDepth);
    CloseFileHandle(fd);
    return ok;
}

bool c32bppDIB::LoadPicture_Stream(ByteArray &inStream, std::int32_t iconCx, std::int32_t iconCy,
                                   std::int32_t streamStart, std::int32_t streamLength, bool SaveFormat,
                                   std::int32_t iconBitDepth)
{
    if (inStream.empty() || inStream.size() > std::size_t(INT32_MAX))
        return false;
    if (streamStart < 0)
        streamStart = 0;
    if (streamLength == 0)
        streamLength = std::int32_t(std::int64_t(inStream.size()) - streamStart);
    if (streamLength < kMinimumBytes)
        return false;
    return loadEncoded(-1, {}, inStream, iconCx, iconCy, streamStart, streamLength, SaveFormat, iconBitDepth);
}

bool c32bppDIB::LoadPicture_Resource(const QVariant &ResIndex, const QVariant &ResSection,
                                     const platform::ResourceModule *VBglobal, std::int32_t iconCx,
                                     std::int32_t iconCy, std::int32_t streamStart, std::int32_t streamLength,
                                     std::int32_t iconBitDepth)
{
    const platform::ResourceModule &module = VBglobal ? *VBglobal : platform::AppResources();
    const int type = ResSection.typeId();
    if (type == QMetaType::QString || type == QMetaType::QByteArray) {
        std::vector<std::uint8_t> data;
        if (!module.LoadResData(ResIndex, ResSection.toString(), data))
            return false;
        ByteArray bytes(data);
        return LoadPicture_Stream(bytes, iconCx, iconCy, streamStart, streamLength, false, iconBitDepth);
    }
    bool isNumber = false;
    const int kind = ResSection.toInt(&isNumber);
    if (!isNumber || kind < -32768 || kind > 32767)
        return false;
    const platform::Picture picture = module.LoadResPicture(ResIndex, std::int16_t(kind));
    if (!picture)
        return false;
    return LoadPicture_StdPicture(picture);
}

bool c32bppDIB::LoadPicture_StdPicture(const platform::Picture &Picture)
{
    DestroyDIB();
    if (!Picture)
        return false;
    if (Picture->Type() == platform::PICTYPE_ICON)
        cICOparser().ConvertstdPicTo32bpp(Picture, *this);
    else if (Picture->Type() != platform::PICTYPE_NONE)
        cBMPparser().ConvertstdPicTo32bpp(Picture, *this, 0);
    if (!m_handle) {
        DestroyDIB();
        return false;
    }
    return true;
}

bool c32bppDIB::LoadPicture_ByHandle(gdi::HGDIOBJ Handle)
{
    if (!Handle)
        return false;
    platform::Picture picture;
    if (gdi::GetObjectType(Handle) == gdi::OBJ_BITMAP) {
        picture = platform::OleCreatePictureIndirect(platform::PICTYPE_BITMAP, Handle, true);
    } else {
        gdi::ICONINFO info;
        if (gdi::GetIconInfo(Handle, info)) {
            gdi::DeleteObject(info.hbmMask);
            if (info.hbmColor)
                gdi::DeleteObject(info.hbmColor);
            picture = platform::OleCreatePictureIndirect(platform::PICTYPE_ICON, Handle, true);
        }
    }
    if (!picture)
        return false;
    // The temporary picture owns the handle: releasing it destroys the handle.
    return LoadPicture_StdPicture(picture);
}

bool c32bppDIB::LoadPicture_ClipBoard()
{
    const bool hasPicture = platform::ClipboardHasFormat(platform::CF_BITMAP) ||
                            platform::ClipboardHasFormat(platform::CF_DIB) ||
                            platform::ClipboardHasFormat(platform::CF_ENHMETAFILE) ||
                            platform::ClipboardHasFormat(platform::CF_METAFILEPICT);
    if (!hasPicture)
        return false;
    const platform::Picture picture = platform::ClipboardPicture();
    if (!picture)
        return false;
    return LoadPicture_StdPicture(picture);
}

bool c32bppDIB::LoadPicture_FromOrignalFormat(std::int32_t iconCx, std::int32_t iconCy, std::int32_t iconBitDepth)
{
    if (m_original.empty())
        return false;
    ByteArray copy(m_original);
    return LoadPicture_Stream(copy, iconCx, iconCy, 0, 0, true, iconBitDepth);
}

bool c32bppDIB::GetDroppedFileNames(platform::DataObject *OLEDragDrop_DataObject)
{
    if (!OLEDragDrop_DataObject || !OLEDragDrop_DataObject->GetFormat(platform::CF_HDROP))
        return false;
    std::vector<std::uint8_t> memory;
    if (!OLEDragDrop_DataObject->GetData(platform::CF_HDROP, memory) || memory.empty())
        return false;
    if (wideDropList(memory)) {
        const QStringList names = dropNames(memory, OLEDragDrop_DataObject->Files.size());
        OLEDragDrop_DataObject->Files = names;
    }
    return true;
}

std::int32_t c32bppDIB::GetPastedFileNames(QStringList &ListOfFiles)
{
    std::vector<std::uint8_t> memory;
    if (!platform::ClipboardFileDrop(memory))
        return 0;
    QStringList names;
    if (wideDropList(memory)) {
        names = dropNames(memory, INT32_MAX);
    } else {
        for (std::uint32_t i = 0;; ++i) {
            const QString name = platform::DragQueryFileA(memory, i);
            if (name.isEmpty())
                break;
            names << name;
        }
    }
    ListOfFiles = names;
    return std::int32_t(names.size());
}

} // namespace imaging
