#pragma once
// The document model of a loaded page: a real HTML5 tree (gumbo) with the few
// read operations the program needs. Elements stay valid as long as any copy
// of them or of their document is alive.
#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <QUrl>
#include <memory>
#include <optional>

struct GumboInternalNode;

namespace platform {

class HtmlDocumentData;
class HtmlDocument;
struct ShapedPage;
ShapedPage shapePage(const HtmlDocument &document, QDeadlineTimer deadline); // pageshaper.h

class HtmlElement {
public:
    QString tagName() const;
    // The whole class attribute, empty when absent.
    QString className() const;
    // The visible text: white space collapsed to single blanks, trimmed;
    // script and style contents are not text. At most
    // limits::kMaxElementTextChars characters (the rest is cut).
    QString outerText() const;
    // The inline click handler's source; a null string when there is none.
    QString onclick() const;
    // The href resolved against the page address; empty when absent.
    QString href() const;
    // Any attribute's raw value; a null string when absent.
    QString attribute(const char *name) const;
    // Every element with that tag name (lower case) inside this one, in
    // document order.
    QList<HtmlElement> getElementsByTagName(const QString &tag) const;

private:
    friend class HtmlDocument;
    HtmlElement(std::shared_ptr<const HtmlDocumentData> doc, const GumboInternalNode *node)
        : m_doc(std::move(doc)), m_node(node) {}
    std::shared_ptr<const HtmlDocumentData> m_doc;
    const GumboInternalNode *m_node;
};

class HtmlDocument {
public:
    HtmlDocument(); // an empty document: no elements
    // Parses already decoded page text; relative addresses resolve against baseUrl.
    static HtmlDocument parse(const QString &html, const QUrl &baseUrl);
    // The same, given up (nothing) when the tree is not built by the deadline:
    // some tag soup takes the parser time that grows with the square of its depth.
    static std::optional<HtmlDocument> parse(const QString &html, const QUrl &baseUrl, QDeadlineTimer deadline);

    QUrl url() const;
    bool isEmpty() const { return !m_data; }
    // Every element with that tag name (lower case), in document order.
    QList<HtmlElement> getElementsByTagName(const QString &tag) const;

private:
    friend ShapedPage shapePage(const HtmlDocument &, QDeadlineTimer);
    // The tree's root node; null for an empty document.
    const GumboInternalNode *root() const;
    std::shared_ptr<const HtmlDocumentData> m_data;
};

// Decodes page bytes by the charset the server declared (Content-Type value);
// the Korean code page when none or an unknown one is declared.
QString decodePageBytes(const QByteArray &bytes, const QByteArray &contentType);

} // namespace platform
