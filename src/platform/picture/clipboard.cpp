// Clipboard, drop data objects and resources over Qt.
#include "platform/picture/clipboard.h"

#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QUrl>
#include <cstring>

namespace platform {

namespace {

void put32(std::vector<std::uint8_t> &m, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        m[at + std::size_t(i)] = std::uint8_t(v >> (8 * i));
}

std::uint32_t get32(const std::vector<std::uint8_t> &m, std::size_t at)
{
    return std::uint32_t(m[at]) | (std::uint32_t(m[at + 1]) << 8) | (std::uint32_t(m[at + 2]) << 16) |
           (std::uint32_t(m[at + 3]) << 24);
}

QStringList localFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

const QMimeData *clipboardData()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return nullptr;
    return QGuiApplication::clipboard()->mimeData();
}

} // namespace

std::vector<std::uint8_t> MakeDropFiles(const QStringList &names, bool wide)
{
    std::vector<std::uint8_t> m(kDropFilesHeaderSize, 0);
    put32(m, 0, kDropFilesHeaderSize);
    put32(m, 16, wide ? 1 : 0);
    for (const QString &name : names) {
        if (wide) {
            for (const QChar c : name) {
                m.push_back(std::uint8_t(c.unicode() & 0xFF));
                m.push_back(std::uint8_t(c.unicode() >> 8));
            }
            m.push_back(0);
            m.push_back(0);
        } else {
            const QByteArray narrow = name.toLatin1();
            m.insert(m.end(), narrow.begin(), narrow.end());
            m.push_back(0);
        }
    }
    m.insert(m.end(), wide ? 2 : 1, 0);
    return m;
}

bool ClipboardHasFormat(int format)
{
    const QMimeData *data = clipboardData();
    if (!data)
        return false;
    switch (format) {
    case CF_BITMAP:
    case CF_DIB: return data->hasImage();
    case CF_HDROP: return !localFiles(data).isEmpty();
    default: return false;
    }
}

Picture ClipboardPicture()
{
    const QMimeData *data = clipboardData();
    if (!data || !data->hasImage())
        return {};
    const QImage image = qvariant_cast<QImage>(data->imageData()).convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
        return {};
    const int w = image.width(), h = image.height();
    std::uint8_t *bits = nullptr;
    const gdi::HBITMAP bmp = gdi::CreateDIBSection(0, gdi::makeBitmapInfo(w, h, 32), gdi::DIB_RGB_COLORS, &bits);
    if (!bmp)
        return {};
    for (int y = 0; y < h; ++y)
        std::memcpy(bits + std::size_t(h - 1 - y) * std::size_t(w) * 4, image.constScanLine(y), std::size_t(w) * 4);
    Picture p = OleCreatePictureIndirect(PICTYPE_BITMAP, bmp, true);
    if (!p)
        gdi::DeleteObject(bmp);
    return p;
}

bool ClipboardFileDrop(std::vector<std::uint8_t> &dropFiles)
{
    const QStringList files = localFiles(clipboardData());
    if (files.isEmpty())
        return false;
    dropFiles = MakeDropFiles(files, true);
    return true;
}

QString DragQueryFileA(const std::vector<std::uint8_t> &m, std::uint32_t index)
{
    if (m.size() < kDropFilesHeaderSize)
        return {};
    std::size_t pos = get32(m, 0);
    const bool wide = get32(m, 16) != 0;
    for (std::uint32_t i = 0; pos < m.size(); ++i) {
        QString name;
        if (wide) {
            while (pos + 1 < m.size() && (m[pos] | m[pos + 1])) {
                name += QChar(char16_t(m[pos] | (m[pos + 1] << 8)));
                pos += 2;
            }
            pos += 2;
        } else {
            while (pos < m.size() && m[pos])
                name += QChar(char16_t(m[pos++]));
            ++pos;
        }
        if (name.isEmpty())
            return {};
        if (i == index)
            return name;
    }
    return {};
}

DataObject DataObject::fromMimeData(const QMimeData &data)
{
    DataObject o;
    o.Files = localFiles(&data);
    o.m_hasDrop = !o.Files.isEmpty();
    if (o.m_hasDrop)
        o.m_memory = MakeDropFiles(o.Files, true);
    return o;
}

DataObject DataObject::fromDropFiles(std::vector<std::uint8_t> memory, const QStringList &files)
{
    DataObject o;
    o.m_memory = std::move(memory);
    o.m_hasDrop = true;
    o.Files = files;
    return o;
}

bool DataObject::GetData(int format, std::vector<std::uint8_t> &memory) const
{
    if (format != CF_HDROP || !m_hasDrop || m_memory.empty())
        return false;
    memory = m_memory;
    return true;
}

bool ResourceModule::LoadResData(const QVariant &id, const QString &type, std::vector<std::uint8_t> &out) const
{
    QFile f(QStringLiteral(":/resdata/%1/%2").arg(type.toUpper(), id.toString()));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = f.readAll();
    if (bytes.isEmpty())
        return false;
    out.assign(bytes.begin(), bytes.end());
    return true;
}

Picture ResourceModule::LoadResPicture(const QVariant &id, int kind) const
{
    static const char *const folders[] = {"bitmap", "icon", "cursor"};
    if (kind < 0 || kind > 2)
        return {};
    QFile f(QStringLiteral(":/respic/%1/%2").arg(QLatin1String(folders[kind]), id.toString()));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    const std::span<const std::uint8_t> span(reinterpret_cast<const std::uint8_t *>(bytes.constData()),
                                             std::size_t(bytes.size()));
    return kind == 0 ? PictureFromBytes(span) : IconPictureFromBytes(span, kind == 2);
}

const ResourceModule &AppResources()
{
    static const ResourceModule module;
    return module;
}

} // namespace platform
