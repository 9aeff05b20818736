// The surface's PNG members: saving to a file or a byte array, and the PNG
// properties kept between saves.
#include "imaging/c32bppDIB.h"

#include "imaging/gdiplus_bridge.h"
#include "imaging/parsers.h"
#include "imaging/png/png_writer.h"
#include "platform/dialogs.h"

#include <new>

namespace imaging {

void c32bppDIB::PngWriterDeleter::operator()(cPNGwriter *writer) const { delete writer; }

namespace {

// Without properties the platform imaging library goes first and the
// built-in encoder is the fall-back; with them the order is reversed, so that
// the properties are written whenever the built-in encoder can.
bool savePng(const c32bppDIB &dib, cPNGwriter *properties, const QString &fileName, ByteArray &outStream)
{
    cGDIPlus gdiplus;
    if (!properties) {
        if (gdiplus.SaveToPNG(fileName, outStream, dib, dib.gdiToken()))
            return true;
        cPNGwriter plain;
        return plain.WritePNG(dib, fileName, outStream);
    }
    if (properties->WritePNG(dib, fileName, outStream))
        return true;
    return gdiplus.SaveToPNG(fileName, outStream, dib, dib.gdiToken());
}

} // namespace

bool c32bppDIB::SaveToFile_PNG(const QString &FileName, bool PromptOverwrite)
{
    if (FileName.isEmpty() || Handle() == 0)
        return false;
    if (FileExists(FileName, useWideFileNames()) && PromptOverwrite) {
        const platform::MessageResult answer = platform::Dialogs::messageBox(
            QStringLiteral("Overwrite Confirmation"), QStringLiteral("Overwrite existing file?"),
            platform::MessageIcon::Question, platform::MessageButtons::YesNo, platform::MessageResult::No);
        if (answer != platform::MessageResult::Yes)
            return false;
    }
    // The existing file is not deleted here: the writer renames the finished
    // file over it, so a failed save leaves it as it was.
    ByteArray unused;
    return savePng(*this, m_pngWriter.get(), FileName, unused);
}

bool c32bppDIB::SaveToStream_PNG(ByteArray &outStream)
{
    if (Handle() == 0)
        return false;
    return savePng(*this, m_pngWriter.get(), QString(), outStream);
}

bool c32bppDIB::PngPropertySet(std::int32_t PropertyID, const std::optional<QVariant> &PropertyValue,
                               const QString &LargeBlockCaption)
{
    if (PropertyID == -1) {
        m_pngWriter.reset();
        return true;
    }
    if (!PropertyValue)
        return m_pngWriter ? m_pngWriter->RemoveProperty(PropertyID, LargeBlockCaption) : false;
    // The store stays even when this first value is refused.
    if (!m_pngWriter)
        m_pngWriter.reset(new (std::nothrow) cPNGwriter);
    if (!m_pngWriter)
        return false;
    return m_pngWriter->SetProperty(PropertyID, *PropertyValue, LargeBlockCaption);
}

bool c32bppDIB::PngTextSet(const QString &keyword, const QString &text, QString *reason)
{
    if (!m_pngWriter)
        m_pngWriter.reset(new (std::nothrow) cPNGwriter);
    if (!m_pngWriter) {
        if (reason)
            *reason = QStringLiteral("out of memory");
        return false;
    }
    return m_pngWriter->SetExactText(keyword, text, reason);
}

QVariant c32bppDIB::PngPropertyGet(std::int32_t PropertyID, const QString &LargeBlockCaption) const
{
    if (m_pngWriter)
        return m_pngWriter->GetProperty(PropertyID, LargeBlockCaption);
    if (PropertyID == pngBackground)
        return std::int32_t(-1);
    if (PropertyID == pngTime)
        return cPNGwriter::zeroDate();
    return QString();
}

} // namespace imaging
