#pragma once
// cPNGwriter keeps a surface's PNG properties between saves and writes the
// surface as PNG: 8-bit samples, no interlacing, in the smallest lossless of
// palette, grey, true colour with a colour key, or true colour with alpha.
//
//   imaging::cPNGwriter writer;
//   writer.SetProperty(imaging::pngTitle, QStringLiteral("Sky"), {});
//   imaging::ByteArray png;
//   bool ok = writer.WritePNG(dib, {}, png);      // empty name: into png
//   ok = writer.WritePNG(dib, "/tmp/sky.png", png);  // to a file
//
// Texts set as properties are written in the system's code page (CP949
// here) and must be single-byte there; SetExactText keeps any text, writing
// it as iTXt in UTF-8 when Latin-1 cannot hold it. Nothing here throws;
// failures are false.
#include "imaging/bytearray.h"

#include <QDateTime>
#include <QString>
#include <QVariant>
#include <cstdint>
#include <vector>

namespace imaging {

class c32bppDIB;
namespace png {
struct EncodeOptions;
}

// PNG property IDs: each ID is its own bit of the set mask.
enum PngPropertyID : std::int32_t {
    pngTitle = 1,
    pngAuthor = 2,
    pngDescription = 4,
    pngCopyright = 8,
    pngCreationTime = 16,
    pngSoftware = 32,
    pngDisclaimer = 64,
    pngWarning = 128,
    pngSource = 256,
    pngComment = 512,
    pngCustomText = 1024,   // keyword given as LargeBlockCaption
    pngTime = 2048,         // tIME
    pngBackground = 4096,   // bKGD, a colour reference (red low)
    pngFilterMode = 8192,   // 0 default, 1..5 one filter type + 1, 6 adaptive
};

class cPNGwriter {
public:
    // Writes the surface to FileName, or into outStream when the name is empty.
    // A file is written under a temporary name in the same folder and renamed
    // over FileName once complete, so a failed save leaves an existing file as
    // it was. On failure outStream is emptied; with no image it is untouched.
    bool WritePNG(const c32bppDIB &surface, const QString &FileName, ByteArray &outStream);

    bool SetProperty(std::int32_t PropertyID, const QVariant &PropertyValue, const QString &LargeBlockCaption);
    bool RemoveProperty(std::int32_t PropertyID, const QString &LargeBlockCaption);
    QVariant GetProperty(std::int32_t PropertyID, const QString &LargeBlockCaption) const;

    // Stores a text with every character kept, or refuses it with the reason;
    // nothing is cut or emptied. The keyword is taken as written: 1 to 79
    // Latin-1 characters 32 to 126 or 161 to 255, with no space at either end
    // and no two in a row. The text holds no control character other than tab,
    // CR and LF (CR LF and CR become LF) and at most 32700 characters. A
    // standard keyword (any letter case) sets that property, otherwise a custom
    // entry of that keyword is replaced or added. A Latin-1 text is written as
    // tEXt (a long custom one as zTXt), any other as iTXt in UTF-8.
    bool SetExactText(const QString &keyword, const QString &text, QString *reason = nullptr);
    // Why a keyword cannot be written as given; empty when it can.
    static QString KeywordFault(const QString &keyword);

    // The text as it will be written: at most 32700 characters, CR LF and CR
    // turned into LF; empty when any character is a control character other
    // than tab and LF, or is not a single-byte character of the code page.
    static QString NormalizeText(const QString &text);
    // The keyword as it will be written (trimmed, single inner spaces, at most
    // 79 characters), or empty when it holds a character outside 32..126 and
    // 161..255 of the code page. standardId receives the ID of the standard
    // property it names (any letter case), or 0.
    static QString ValidateKeyword(const QString &caption, std::int32_t *standardId = nullptr);
    // What the time property reads when it is not set.
    static QDateTime zeroDate();
    static bool isValidId(std::int32_t id);

private:
    struct CustomEntry {
        QString keyword;
        QString text;
        bool exact = false;   // set by SetExactText: Latin-1 or UTF-8, not the code page
    };
    png::EncodeOptions encodeOptions() const;

    std::uint32_t m_mask = 0;
    QString m_texts[10];   // slot = bit number of the standard ID
    std::uint32_t m_exactSlots = 0;   // the standard slots set by SetExactText
    QString m_time;        // "yyyy-MM-ddTHH:mm:ss", as given (no time zone conversion)
    std::vector<CustomEntry> m_custom;
    std::uint32_t m_background = 0;
    std::int32_t m_filterMode = 0;
};

} // namespace imaging
