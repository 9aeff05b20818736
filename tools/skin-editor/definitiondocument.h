#pragma once
// A window definition file open for editing: its text as read, the parsed
// definition, the alpha image controls in it, and saving one control's
// properties back so that comments and the other sections stay as written.
#include "controls/propertybag.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace skineditor {

class DefinitionDocument {
public:
    // Reads and parses the file (a regular file within the definitions' size
    // limit); nothing (and the reason) when it cannot.
    static std::optional<DefinitionDocument> open(const QString &path, QString *error = nullptr);

    const QString &path() const { return m_path; }
    const QString &text() const { return m_text; }
    const controls::WindowDefinition &definition() const { return m_definition; }

    // The sections that hold an alpha image control: named "aic..." or holding
    // an "Image" key, and holding no key that the control does not store
    // (so a button or label with a picture of its own is not one).
    QStringList alphaImageControls() const;
    static bool isAlphaImageSection(const controls::ControlDefinition &section);

    // Stores the control's properties in the file: the new text is checked by
    // reading it back, every byte outside the control's section must stay as
    // it was (and the file as it was read), then it is written to a temporary
    // file and renamed over the old one, so a failure leaves the old file
    // whole. False with the reason.
    bool save(const QString &control, const controls::PropertyBag &properties, QString *error = nullptr);

private:
    QString m_path;
    QByteArray m_bytes; // the file as read (or last written)
    QString m_text;     // m_bytes with every byte kept (keptbytes.h)
    controls::WindowDefinition m_definition;
};

} // namespace skineditor
