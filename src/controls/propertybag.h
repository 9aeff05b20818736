#pragma once
// Stored properties of the skin controls.
//
// A PropertyBag holds typed values under keys that compare without regard to
// case, in the order they were first written. Controls read each key with a
// default for a missing key and write each key only when it differs from its
// save default. A key whose stored value cannot become the wanted type reads as
// "unreadable" (an empty optional) so that the control can skip just that key.
//
// Window definitions keep the stored properties of their controls as text
// (usually a Qt resource), one section per control:
//
//     # comment lines start with '#' or ';'
//     [capTime]
//     Caption = "로딩중..."            text: double quotes; \" \\ \n \t \uXXXX escapes
//     CaptionAligmend = 2              integer: decimal, or 0x hexadecimal, optional sign
//     Transparent = true               flag: true / false
//     CaptionINColor = rgb(255, 255, 0)    colour: rgb(r, g, b), sys(index) for a
//     BackColor = sys(15)                  system colour, colour(0x8000000F) raw
//     Font = font("Gulim", 9, bold)    font: family, point size, then any of
//                                      bold, italic, underline, strikeout
//     CaptionPicture = picture(file::/icons/app.ico)   picture bytes: file:PATH
//     Image = bytes(base64:AAEC)                       (Qt resource paths work) or
//                                                      base64:DATA; empty () for none
//
// Keys are "name = value" with spaces around '=' optional; a key outside any
// section belongs to the unnamed section "". Repeating a key replaces its value.
#include "controls/syscolors.h"

#include <QByteArray>
#include <QFont>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace controls {

class PropertyValue {
public:
    enum class Type { Text, Integer, Flag, Colour, Font, Picture, Bytes };

    static PropertyValue text(const QString &v);
    static PropertyValue integer(qint64 v);
    static PropertyValue flag(bool v);
    static PropertyValue colour(ColourRef v);
    static PropertyValue font(const QFont &v);
    static PropertyValue picture(const QByteArray &v);
    static PropertyValue bytes(const QByteArray &v);

    Type type() const;

    // Conversions for reading. Besides the exact type: integers read as text and
    // as colours, colours as integers, decimal text as integers, integers and
    // "true"/"false" as flags, picture bytes and plain bytes as each other.
    std::optional<QString> toText() const;
    std::optional<qint64> toInteger() const;
    std::optional<bool> toFlag() const;
    std::optional<ColourRef> toColour() const;
    std::optional<QFont> toFont() const;
    std::optional<QByteArray> toPicture() const;
    std::optional<QByteArray> toBytes() const;

    bool operator==(const PropertyValue &o) const;

private:
    struct Colour {
        ColourRef ref;
        bool operator==(const Colour &) const = default;
    };
    struct Picture {
        QByteArray data;
        bool operator==(const Picture &) const = default;
    };
    using Storage = std::variant<QString, qint64, bool, Colour, QFont, Picture, QByteArray>;
    // Built in place: moving a whole variant in makes GCC warn of the
    // inactive alternatives.
    template <class T>
    PropertyValue(std::in_place_type_t<T> kind, T v) : m_v(kind, std::move(v))
    {
    }
    Storage m_v;
};

class PropertyBag {
public:
    bool contains(QStringView key) const { return indexOf(key) >= 0; }
    const PropertyValue *find(QStringView key) const;
    // Stores a value; a key already present (in any case) keeps its place.
    void write(const QString &key, const PropertyValue &value);
    void remove(QStringView key);
    void clear()
    {
        m_entries.clear();
        m_index.clear();
    }
    int size() const { return int(m_entries.size()); }
    bool isEmpty() const { return m_entries.isEmpty(); }
    // Keys in storing order, spelled as first written.
    QStringList keys() const;

    // Reading: a missing key gives the default; a present key that cannot
    // become the type (or a 32-bit integer) gives an empty optional.
    std::optional<QString> readText(QStringView key, const QString &def) const;
    std::optional<qint32> readInt(QStringView key, qint32 def) const;
    std::optional<bool> readFlag(QStringView key, bool def) const;
    std::optional<ColourRef> readColour(QStringView key, ColourRef def) const;
    std::optional<QFont> readFont(QStringView key, const QFont &def) const;
    std::optional<QByteArray> readPicture(QStringView key, const QByteArray &def = {}) const;
    std::optional<QByteArray> readBytes(QStringView key, const QByteArray &def = {}) const;

    // Writing with a save default: a value equal to it is not stored (and an
    // older value under the key is dropped, so that reading gives the default).
    void writeText(const QString &key, const QString &v, const QString &saveDefault);
    void writeInt(const QString &key, qint32 v, qint32 saveDefault);
    void writeFlag(const QString &key, bool v, bool saveDefault);
    void writeColour(const QString &key, ColourRef v, ColourRef saveDefault);
    void writeFont(const QString &key, const QFont &v, const QFont &saveDefault);
    void writePicture(const QString &key, const QByteArray &v, const QByteArray &saveDefault = {});
    void writeBytes(const QString &key, const QByteArray &v, const QByteArray &saveDefault = {});

    // One section of the text format above (keys only, no section header).
    QString toText() const;

    bool operator==(const PropertyBag &o) const { return m_entries == o.m_entries; }
    // The same keys (compared without case) with the same values, in any
    // order: what a reader of the two bags would see.
    bool sameProperties(const PropertyBag &o) const;

private:
    struct Entry {
        QString key;
        PropertyValue value;
        bool operator==(const Entry &) const = default;
    };
    qsizetype indexOf(QStringView key) const;
    void reindex();
    void writeOrOmit(const QString &key, const PropertyValue &v, bool omit);
    QList<Entry> m_entries;
    // Case-folded key -> place in m_entries once there are many keys, so that
    // a section of many keys is read in linear time.
    QHash<QString, qsizetype> m_index;
};

// The stored properties of one control of a window.
struct ControlDefinition {
    QString name;
    PropertyBag properties;
};

// A window's stored control properties, read from the text format above.
class WindowDefinition {
public:
    // Parses the text; on a malformed line returns nothing and, when asked,
    // the line number and reason in *error.
    static std::optional<WindowDefinition> parse(QStringView text, QString *error = nullptr);
    // Reads and parses a UTF-8 file or Qt resource (":/...").
    static std::optional<WindowDefinition> load(const QString &path, QString *error = nullptr);
    // The bytes of a definition or of a file one refers to: a Qt resource
    // (":/..."), or a regular file (never a device or a pipe, which could
    // block or never end) of at most limits::kMaxDefinitionBytes. Nothing,
    // and the reason, otherwise.
    static std::optional<QByteArray> readFile(const QString &path, QString *error = nullptr);

    const QList<ControlDefinition> &controls() const { return m_controls; }
    // The properties of the named control (case-insensitive), or null.
    const PropertyBag *properties(QStringView name) const;
    // The properties of the named control, created when missing.
    PropertyBag &properties(const QString &name);

    QString toText() const;

    // Rewrites one section of a definition's text so that it holds exactly the
    // given properties, keeping every other line as written: comments, blank
    // lines and the other sections. Within the section a key whose value did
    // not change keeps its line (so a file: reference stays a reference),
    // changed keys are written in the text form above, keys no longer present
    // are dropped and new keys follow the section's last key line. A missing
    // section is added at the end. Nothing when the text does not parse.
    static std::optional<QString> replaceSection(QStringView text, const QString &name,
                                                 const PropertyBag &properties, QString *error = nullptr);

private:
    QList<ControlDefinition> m_controls;
    QHash<QString, qsizetype> m_index; // case-folded name -> place in m_controls
};

} // namespace controls
