#include "platform/pagehost/htmldocument.h"

#include <QStringDecoder>
#include <gumbo.h>

namespace platform {

class HtmlDocumentData {
public:
    HtmlDocumentData(const QString &html, const QUrl &url) : utf8(html.toUtf8()), baseUrl(url)
    {
        output = gumbo_parse_with_options(&kGumboDefaultOptions, utf8.constData(), size_t(utf8.size()));
    }
    ~HtmlDocumentData() { gumbo_destroy_output(&kGumboDefaultOptions, output); }
    HtmlDocumentData(const HtmlDocumentData &) = delete;
    HtmlDocumentData &operator=(const HtmlDocumentData &) = delete;

    QByteArray utf8; // gumbo's tree points into this text
    QUrl baseUrl;
    GumboOutput *output = nullptr;
};

namespace {

const GumboAttribute *findAttribute(const GumboNode *node, const char *name)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return nullptr;
    return gumbo_get_attribute(&node->v.element.attributes, name);
}

void appendText(const GumboNode *node, QString &out)
{
    if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA) {
        out += QString::fromUtf8(node->v.text.text);
        return;
    }
    if (node->type != GUMBO_NODE_ELEMENT)
        return;
    const GumboTag tag = node->v.element.tag;
    if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_NOSCRIPT)
        return;
    if (tag == GUMBO_TAG_BR)
        out += ' ';
    const GumboVector &children = node->v.element.children;
    for (unsigned i = 0; i < children.length; ++i)
        appendText(static_cast<const GumboNode *>(children.data[i]), out);
}

void collect(const GumboNode *node, GumboTag tag, const QByteArray &name, QList<const GumboNode *> &out)
{
    if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
        return;
    const GumboElement &e = node->v.element;
    const bool match = tag != GUMBO_TAG_UNKNOWN
                           ? e.tag == tag
                           : (e.tag == GUMBO_TAG_UNKNOWN && gumbo_normalized_tagname(e.tag) == name);
    if (match)
        out.append(node);
    for (unsigned i = 0; i < e.children.length; ++i)
        collect(static_cast<const GumboNode *>(e.children.data[i]), tag, name, out);
}

} // namespace

QString HtmlElement::tagName() const
{
    return QString::fromUtf8(gumbo_normalized_tagname(m_node->v.element.tag));
}

QString HtmlElement::attribute(const char *name) const
{
    const GumboAttribute *a = findAttribute(m_node, name);
    return a ? QString::fromUtf8(a->value) : QString();
}

QString HtmlElement::className() const
{
    const QString c = attribute("class");
    return c.isNull() ? QString("") : c;
}

QString HtmlElement::outerText() const
{
    QString raw;
    appendText(m_node, raw);
    return raw.simplified();
}

QString HtmlElement::onclick() const
{
    return attribute("onclick");
}

QString HtmlElement::href() const
{
    const QString h = attribute("href");
    if (h.isNull())
        return QString("");
    const QUrl resolved = m_doc->baseUrl.resolved(QUrl(h.trimmed()));
    return resolved.toString(QUrl::FullyEncoded);
}

HtmlDocument::HtmlDocument() = default;

HtmlDocument HtmlDocument::parse(const QString &html, const QUrl &baseUrl)
{
    HtmlDocument doc;
    doc.m_data = std::make_shared<const HtmlDocumentData>(html, baseUrl);
    return doc;
}

QUrl HtmlDocument::url() const
{
    return m_data ? m_data->baseUrl : QUrl();
}

QList<HtmlElement> HtmlDocument::getElementsByTagName(const QString &tag) const
{
    QList<HtmlElement> elements;
    if (!m_data)
        return elements;
    const QByteArray name = tag.toLower().toUtf8();
    const GumboTag gumboTag = gumbo_tag_enum(name.constData());
    QList<const GumboNode *> nodes;
    collect(m_data->output->root, gumboTag, name, nodes);
    elements.reserve(nodes.size());
    for (const GumboNode *n : nodes)
        elements.append(HtmlElement(m_data, n));
    return elements;
}

QString decodePageBytes(const QByteArray &bytes, const QByteArray &contentType)
{
    QByteArray charset;
    const qsizetype at = contentType.toLower().indexOf("charset=");
    if (at >= 0) {
        charset = contentType.mid(at + 8).trimmed().toLower();
        const qsizetype end = charset.indexOf(';');
        if (end >= 0)
            charset = charset.left(end);
        charset = charset.trimmed();
        if (charset.startsWith('"'))
            charset = charset.mid(1, charset.size() - 2);
    }
    // EUC-KR and KS C 5601 pages are read with the Korean code page, their superset.
    const bool korean = charset.isEmpty() || charset == "euc-kr" || charset == "ks_c_5601-1987"
                        || charset == "cp949" || charset == "windows-949" || charset == "x-windows-949";
    if (!korean) {
        QStringDecoder declared(charset.constData());
        if (declared.isValid())
            return declared.decode(bytes);
    }
    QStringDecoder cp949("windows-949");
    return cp949.decode(bytes);
}

} // namespace platform
