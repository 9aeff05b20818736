#pragma once
// Clipboard, drop data and application resources as the image engine sees
// them. The clipboard is Qt's: an image on it is a picture of the bitmap
// kind, files copied in a file manager (text/uri-list of local files) are its
// file-drop list. A drop's data object wraps the drop's QMimeData URLs.
// Widget-free (QtGui only).
#include "platform/picture/picture.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <vector>

class QMimeData;

namespace platform {

// Clipboard format numbers the engine asks about.
enum ClipboardFormat : int {
    CF_BITMAP = 2,
    CF_METAFILEPICT = 3,
    CF_DIB = 8,
    CF_ENHMETAFILE = 14,
    CF_HDROP = 15,
};

// The DROPFILES layout: a 20-byte header (offset of the name list, drop point
// x and y, non-client flag, wide flag, all 32-bit little-endian) followed by
// zero-terminated names and a closing empty name.
constexpr std::uint32_t kDropFilesHeaderSize = 20;
// Builds that memory for the names (UTF-16 names when wide, else Latin-1).
std::vector<std::uint8_t> MakeDropFiles(const QStringList &names, bool wide = true);

// Whether the clipboard holds data of the format (2 and 8: an image; 15:
// local files; 3 and 14: never, there are no metafiles here).
bool ClipboardHasFormat(int format);
// The clipboard's image as a bitmap picture; none without one.
Picture ClipboardPicture();
// The clipboard's file-drop list as DROPFILES memory (wide names); false
// when it lists no local files.
bool ClipboardFileDrop(std::vector<std::uint8_t> &dropFiles);
// The narrow-character name query of a file-drop list: the index-th name.
QString DragQueryFileA(const std::vector<std::uint8_t> &dropFiles, std::uint32_t index);

// The data object of a drop. Files is its file list (the names as the drop
// gave them); GetData(15) hands out the drop's raw DROPFILES memory.
class DataObject {
public:
    DataObject() = default;
    // The local files among the data's URLs; raw memory with wide names.
    static DataObject fromMimeData(const QMimeData &data);
    // A data object over raw DROPFILES memory; Files is filled from it.
    static DataObject fromDropFiles(std::vector<std::uint8_t> memory, const QStringList &files);

    bool GetFormat(int format) const { return format == CF_HDROP && m_hasDrop; }
    // The raw memory of a format on a global-memory medium; false when the
    // object does not offer it.
    bool GetData(int format, std::vector<std::uint8_t> &memory) const;
    QStringList Files;

private:
    bool m_hasDrop = false;
    std::vector<std::uint8_t> m_memory;
};

// The application's resources. Raw data by id and type name, pictures by id
// and kind (0 bitmap, 1 icon, 2 cursor). The default module reads Qt
// resources: ":/resdata/TYPE/ID" and ":/respic/bitmap|icon|cursor/ID".
class ResourceModule {
public:
    virtual ~ResourceModule() = default;
    virtual bool LoadResData(const QVariant &id, const QString &type, std::vector<std::uint8_t> &out) const;
    virtual Picture LoadResPicture(const QVariant &id, int kind) const;
};
const ResourceModule &AppResources();

} // namespace platform
