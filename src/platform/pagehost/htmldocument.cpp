#include "platform/pagehost/htmldocument.h"

#include "platform/limits.h"

#include <QStringDecoder>
#include <csetjmp>
#include <cstddef>
#include <cstdlib>
#include <functional>
#include <gumbo.h>
#include <vector>

namespace platform {

// Every block gumbo asks for is linked into one list, so that a parse given up
// half-way (its time ran out) and a finished tree are both freed in one flat
// pass: gumbo's own tree destruction recurses once per nesting level, which a
// deeply nested page turns into a stack overflow.
class GumboArena {
public:
    GumboArena() = default;
    ~GumboArena()
    {
        while (m_head.next != &m_head)
            release(m_head.next);
    }
    GumboArena(const GumboArena &) = delete;
    GumboArena &operator=(const GumboArena &) = delete;

    // Parses with this arena; false when the deadline passed or memory ran
    // out first (everything allocated so far stays owned by the arena).
    bool parse(const QByteArray &utf8, QDeadlineTimer deadline, GumboOutput *&output)
    {
        GumboOptions options = kGumboDefaultOptions;
        options.allocator = &GumboArena::allocate;
        options.deallocator = &GumboArena::deallocate;
        options.userdata = this;
        // Each recorded parse error copies the stack of open elements: on a
        // page of unclosed tags that is quadratic memory. Nothing reads them.
        options.max_errors = 0;
        m_deadline = deadline;
        m_abort = &m_jump;
        // gumbo is plain C: leaving it by longjmp skips no destructor, and
        // every block it holds is in the arena's list.
        if (setjmp(m_jump) != 0) {
            m_abort = nullptr;
            return false;
        }
        output = gumbo_parse_with_options(&options, utf8.constData(), size_t(utf8.size()));
        m_abort = nullptr;
        return true;
    }

private:
    struct alignas(std::max_align_t) Block {
        Block *prev;
        Block *next;
    };

    static void *allocate(void *userdata, size_t size)
    {
        auto *arena = static_cast<GumboArena *>(userdata);
        // The clock is read once every 256 allocations: a tag costs a few.
        if ((++arena->m_calls & 0xff) == 0 && arena->m_abort && arena->m_deadline.hasExpired())
            std::longjmp(*arena->m_abort, 1);
        auto *block = static_cast<Block *>(std::malloc(sizeof(Block) + size));
        if (!block) {
            if (arena->m_abort)
                std::longjmp(*arena->m_abort, 1);
            std::abort(); // gumbo cannot take a failed allocation
        }
        block->prev = &arena->m_head;
        block->next = arena->m_head.next;
        arena->m_head.next->prev = block;
        arena->m_head.next = block;
        return block + 1;
    }

    static void deallocate(void *userdata, void *ptr)
    {
        if (ptr)
            static_cast<GumboArena *>(userdata)->release(static_cast<Block *>(ptr) - 1);
    }

    void release(Block *block)
    {
        block->prev->next = block->next;
        block->next->prev = block->prev;
        std::free(block);
    }

    Block m_head{&m_head, &m_head};
    std::jmp_buf m_jump;
    std::jmp_buf *m_abort = nullptr;
    QDeadlineTimer m_deadline;
    unsigned m_calls = 0;
};

class HtmlDocumentData {
public:
    HtmlDocumentData(const QString &html, const QUrl &url) : utf8(html.toUtf8()), baseUrl(url) {}
    HtmlDocumentData(const HtmlDocumentData &) = delete;
    HtmlDocumentData &operator=(const HtmlDocumentData &) = delete;

    bool build(QDeadlineTimer deadline) { return arena.parse(utf8, deadline, output); }

    QByteArray utf8; // gumbo's tree points into this text
    QUrl baseUrl;
    GumboArena arena; // owns the tree; declared after utf8 so it goes first
    GumboOutput *output = nullptr;
};

namespace {

// Bytes of one text node read for an element's text: enough for the longest
// text shown, with room for white space that collapses.
constexpr std::size_t kTextBytesRead = 64 * 1024;

const GumboAttribute *findAttribute(const GumboNode *node, const char *name)
{
    if (node->type != GUMBO_NODE_ELEMENT)
        return nullptr;
    return gumbo_get_attribute(&node->v.element.attributes, name);
}

const GumboVector *childrenOf(const GumboNode *node)
{
    if (node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE)
        return &node->v.element.children;
    if (node->type == GUMBO_NODE_DOCUMENT)
        return &node->v.document.children;
    return nullptr;
}

// Walks the tree below root in document order without recursion (a page may
// nest tens of thousands of levels); visit answers whether to enter a node.
template <typename Visit>
void walk(const GumboNode *root, Visit visit)
{
    std::vector<const GumboNode *> pending{root};
    while (!pending.empty()) {
        const GumboNode *node = pending.back();
        pending.pop_back();
        if (!visit(node))
            continue;
        if (const GumboVector *children = childrenOf(node))
            for (unsigned i = children->length; i-- > 0;)
                pending.push_back(static_cast<const GumboNode *>(children->data[i]));
    }
}

// Visible text with white space collapsed to single blanks and trimmed, at
// most limits::kMaxElementTextChars long: whatever shows it (a list row, a
// keyword) lays it out in time that grows faster than its length.
class VisibleText {
public:
    void add(QStringView text)
    {
        for (const QChar c : text) {
            if (full())
                return;
            if (c.isSpace()) {
                m_pendingBlank = !m_out.isEmpty();
                continue;
            }
            if (m_pendingBlank)
                m_out += ' ';
            m_pendingBlank = false;
            m_out += c;
        }
    }
    void addBlank() { m_pendingBlank = !m_out.isEmpty(); }
    bool full() const { return m_out.size() >= limits::kMaxElementTextChars; }
    QString take()
    {
        if (m_out.size() > limits::kMaxElementTextChars)
            m_out.truncate(limits::kMaxElementTextChars);
        if (!m_out.isEmpty() && m_out.back().isHighSurrogate())
            m_out.chop(1);
        if (m_out.endsWith(' '))
            m_out.chop(1);
        return m_out;
    }

private:
    QString m_out;
    bool m_pendingBlank = false;
};

QString visibleText(const GumboNode *root)
{
    VisibleText out;
    walk(root, [&out](const GumboNode *node) {
        if (out.full())
            return false;
        if (node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA) {
            // Only as much of a long text as could still be shown is decoded.
            const char *text = node->v.text.text;
            const qsizetype length = qsizetype(qstrnlen(text, kTextBytesRead));
            out.add(QString::fromUtf8(text, length));
            return false;
        }
        if (node->type != GUMBO_NODE_ELEMENT)
            return false;
        const GumboTag tag = node->v.element.tag;
        if (tag == GUMBO_TAG_SCRIPT || tag == GUMBO_TAG_STYLE || tag == GUMBO_TAG_NOSCRIPT)
            return false;
        if (tag == GUMBO_TAG_BR)
            out.addBlank();
        return true;
    });
    return out.take();
}

void collect(const GumboNode *root, GumboTag tag, const QByteArray &name, QList<const GumboNode *> &out)
{
    walk(root, [&](const GumboNode *node) {
        if (node->type != GUMBO_NODE_ELEMENT && node->type != GUMBO_NODE_TEMPLATE)
            return false;
        const GumboElement &e = node->v.element;
        const bool match = tag != GUMBO_TAG_UNKNOWN
                               ? e.tag == tag
                               : (e.tag == GUMBO_TAG_UNKNOWN && gumbo_normalized_tagname(e.tag) == name);
        if (match)
            out.append(node);
        return true;
    });
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
    return visibleText(m_node);
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
    return parse(html, baseUrl, QDeadlineTimer(QDeadlineTimer::Forever)).value_or(HtmlDocument());
}

std::optional<HtmlDocument> HtmlDocument::parse(const QString &html, const QUrl &baseUrl, QDeadlineTimer deadline)
{
    auto data = std::make_shared<HtmlDocumentData>(html, baseUrl);
    if (!data->build(deadline))
        return std::nullopt;
    HtmlDocument doc;
    doc.m_data = std::move(data);
    return doc;
}

const GumboNode *HtmlDocument::root() const
{
    return m_data ? m_data->output->root : nullptr;
}

QUrl HtmlDocument::url() const
{
    return m_data ? m_data->baseUrl : QUrl();
}

namespace {
// Elements of the tag in root's subtree; root itself only when includeRoot.
QList<HtmlElement> elementsBelow(const GumboNode *root, bool includeRoot, const QString &tag,
                                 const std::function<HtmlElement(const GumboNode *)> &wrap)
{
    const QByteArray name = tag.toLower().toUtf8();
    const GumboTag gumboTag = gumbo_tag_enum(name.constData());
    QList<const GumboNode *> nodes;
    collect(root, gumboTag, name, nodes);
    QList<HtmlElement> elements;
    elements.reserve(nodes.size());
    for (const GumboNode *n : nodes)
        if (includeRoot || n != root)
            elements.append(wrap(n));
    return elements;
}
} // namespace

QList<HtmlElement> HtmlDocument::getElementsByTagName(const QString &tag) const
{
    if (!m_data)
        return {};
    return elementsBelow(m_data->output->root, true, tag, [this](const GumboNode *n) { return HtmlElement(m_data, n); });
}

QList<HtmlElement> HtmlElement::getElementsByTagName(const QString &tag) const
{
    return elementsBelow(m_node, false, tag, [this](const GumboNode *n) { return HtmlElement(m_doc, n); });
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
