#include "platform/pagehost/pageshaper.h"

#include "platform/limits.h"

#include <QColor>
#include <QRegularExpression>
#include <gumbo.h>
#include <vector>

namespace platform {

namespace {

// What an element becomes in the shaped page.
enum class Kind {
    Skip,        // nothing, not even its text (scripts, frames, forms' lists)
    Transparent, // its content only
    Block,       // a block of its own tag
    Inline,      // a text style of its own tag
    Break,       // a line break
    Rule,        // a horizontal rule
    WordBreak,   // a place where a long word may break
    Table,
    Row,
    Cell,
    Link,
    Font,
};

struct Shape {
    Kind kind;
    const char *tag; // the tag written for it, when it differs from the page's
};

Shape shapeOf(GumboTag tag)
{
    switch (tag) {
    case GUMBO_TAG_HEAD: case GUMBO_TAG_TITLE: case GUMBO_TAG_SCRIPT: case GUMBO_TAG_STYLE:
    case GUMBO_TAG_NOSCRIPT: case GUMBO_TAG_TEMPLATE: case GUMBO_TAG_IFRAME: case GUMBO_TAG_FRAMESET:
    case GUMBO_TAG_NOFRAMES: case GUMBO_TAG_OBJECT: case GUMBO_TAG_EMBED: case GUMBO_TAG_APPLET:
    case GUMBO_TAG_SVG: case GUMBO_TAG_MATH: case GUMBO_TAG_SELECT: case GUMBO_TAG_TEXTAREA:
    case GUMBO_TAG_AUDIO: case GUMBO_TAG_VIDEO: case GUMBO_TAG_CANVAS: case GUMBO_TAG_MAP:
    case GUMBO_TAG_COLGROUP: case GUMBO_TAG_COL: case GUMBO_TAG_IMG: case GUMBO_TAG_INPUT:
        return {Kind::Skip, nullptr};
    case GUMBO_TAG_P: case GUMBO_TAG_DIV: case GUMBO_TAG_H1: case GUMBO_TAG_H2: case GUMBO_TAG_H3:
    case GUMBO_TAG_H4: case GUMBO_TAG_H5: case GUMBO_TAG_H6: case GUMBO_TAG_UL: case GUMBO_TAG_OL:
    case GUMBO_TAG_LI: case GUMBO_TAG_BLOCKQUOTE: case GUMBO_TAG_DL: case GUMBO_TAG_DT: case GUMBO_TAG_DD:
    case GUMBO_TAG_ADDRESS:
        return {Kind::Block, nullptr};
    case GUMBO_TAG_SECTION: case GUMBO_TAG_ARTICLE: case GUMBO_TAG_HEADER: case GUMBO_TAG_FOOTER:
    case GUMBO_TAG_NAV: case GUMBO_TAG_MAIN: case GUMBO_TAG_ASIDE: case GUMBO_TAG_FORM:
    case GUMBO_TAG_FIELDSET: case GUMBO_TAG_FIGURE: case GUMBO_TAG_FIGCAPTION: case GUMBO_TAG_CAPTION:
    case GUMBO_TAG_DETAILS: case GUMBO_TAG_SUMMARY: case GUMBO_TAG_PRE: case GUMBO_TAG_LISTING:
    case GUMBO_TAG_XMP: case GUMBO_TAG_PLAINTEXT:
        // Preformatted text is shown wrapped: an unbroken line is laid out
        // with the square of its length.
        return {Kind::Block, "div"};
    case GUMBO_TAG_CENTER:
        return {Kind::Block, "div align=\"center\""};
    case GUMBO_TAG_B: case GUMBO_TAG_STRONG: case GUMBO_TAG_I: case GUMBO_TAG_EM: case GUMBO_TAG_U:
    case GUMBO_TAG_S: case GUMBO_TAG_SMALL: case GUMBO_TAG_BIG: case GUMBO_TAG_SUB: case GUMBO_TAG_SUP:
    case GUMBO_TAG_CODE: case GUMBO_TAG_TT: case GUMBO_TAG_KBD: case GUMBO_TAG_VAR: case GUMBO_TAG_CITE:
    case GUMBO_TAG_SAMP: case GUMBO_TAG_DFN:
        return {Kind::Inline, nullptr};
    case GUMBO_TAG_STRIKE: case GUMBO_TAG_DEL:
        return {Kind::Inline, "s"};
    case GUMBO_TAG_INS:
        return {Kind::Inline, "u"};
    case GUMBO_TAG_BR:
        return {Kind::Break, nullptr};
    case GUMBO_TAG_HR:
        return {Kind::Rule, nullptr};
    case GUMBO_TAG_WBR:
        return {Kind::WordBreak, nullptr};
    case GUMBO_TAG_TABLE:
        return {Kind::Table, nullptr};
    case GUMBO_TAG_TR:
        return {Kind::Row, nullptr};
    case GUMBO_TAG_TD: case GUMBO_TAG_TH:
        return {Kind::Cell, nullptr};
    case GUMBO_TAG_A:
        return {Kind::Link, nullptr};
    case GUMBO_TAG_FONT:
        return {Kind::Font, nullptr};
    default:
        return {Kind::Transparent, nullptr};
    }
}

const char *attributeOf(const GumboNode *node, const char *name)
{
    const GumboAttribute *a = gumbo_get_attribute(&node->v.element.attributes, name);
    return a ? a->value : nullptr;
}

// A link the view can follow: a web address or one relative to the page.
QString linkTarget(const GumboNode *node)
{
    const char *href = attributeOf(node, "href");
    if (!href)
        return {};
    const QString h = QString::fromUtf8(href).trimmed();
    if (h.isEmpty() || h.size() > 2048)
        return {};
    const QUrl url(h);
    if (!url.isValid() || !(url.scheme().isEmpty() || url.scheme() == QLatin1String("http")
                            || url.scheme() == QLatin1String("https")))
        return {};
    return h;
}

// A colour the view knows: a name or #rgb / #rrggbb ("ff0000" as old pages
// write it is read with its '#').
QString colourOf(const GumboNode *node)
{
    static const QRegularExpression bareHex(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    const char *value = attributeOf(node, "color");
    QString c = value ? QString::fromUtf8(value).trimmed() : QString();
    if (bareHex.match(c).hasMatch())
        c.prepend('#');
    return c.size() <= 20 && QColor::isValidColorName(c) ? c : QString();
}

bool isElement(const GumboNode *node, GumboTag tag)
{
    return node->type == GUMBO_NODE_ELEMENT && node->v.element.tag == tag;
}

bool isRowGroup(const GumboNode *node)
{
    return isElement(node, GUMBO_TAG_TBODY) || isElement(node, GUMBO_TAG_THEAD) || isElement(node, GUMBO_TAG_TFOOT);
}

bool isCell(const GumboNode *node)
{
    return isElement(node, GUMBO_TAG_TD) || isElement(node, GUMBO_TAG_TH);
}

struct TableCount {
    int rows = 0;
    int cells = 0;
};

// The rows and cells a shown table writes: rows directly in the table or in
// its row groups, cells directly in those rows (what the parser builds).
TableCount countTable(const GumboNode *table)
{
    TableCount count;
    const auto countRow = [&count](const GumboNode *row) {
        ++count.rows;
        const GumboVector &cells = row->v.element.children;
        for (unsigned i = 0; i < cells.length; ++i)
            count.cells += isCell(static_cast<const GumboNode *>(cells.data[i]));
    };
    const GumboVector &children = table->v.element.children;
    for (unsigned i = 0; i < children.length; ++i) {
        const auto *child = static_cast<const GumboNode *>(children.data[i]);
        if (isElement(child, GUMBO_TAG_TR))
            countRow(child);
        else if (isRowGroup(child)) {
            const GumboVector &rows = child->v.element.children;
            for (unsigned j = 0; j < rows.length; ++j)
                if (isElement(static_cast<const GumboNode *>(rows.data[j]), GUMBO_TAG_TR))
                    countRow(static_cast<const GumboNode *>(rows.data[j]));
        }
    }
    return count;
}

// Where a node stands: in ordinary content, or in the frame of a shown table
// (where only rows, and in a row only cells, may stand).
enum class Context { Content, ShownTable, ShownRow };

struct Frame {
    explicit Frame(const GumboNode *n, Context context = Context::Content) : node(n), inside(context) {}
    const GumboNode *node;
    unsigned next = 0;          // the next child to visit
    Context inside = Context::Content;
    QString close;              // written when the node is left
    bool shownTable = false;    // a table written as a table
    bool opened = false;        // counts as an open shaped element
    bool separate = false;      // a blank keeps its text apart from the next
    bool breakAfter = false;    // a line ends after it (a row shown as text)
    bool block = false;         // a word ends where it ends
};

class Shaper {
public:
    explicit Shaper(QDeadlineTimer deadline) : m_deadline(deadline) {}

    ShapedPage run(const GumboNode *root)
    {
        ShapedPage page;
        if (root)
            walk(root);
        if (!m_refusal.isEmpty()) {
            page.refusal = m_refusal;
            page.timedOut = m_timedOut;
            return page;
        }
        page.html = std::move(m_out);
        return page;
    }

private:
    void walk(const GumboNode *root)
    {
        std::vector<Frame> stack;
        enter(root, Context::Content, stack);
        unsigned steps = 0;
        while (!stack.empty() && m_refusal.isEmpty()) {
            if ((++steps & 0x3ff) == 0 && m_deadline.hasExpired()) {
                m_timedOut = true;
                m_refusal = QStringLiteral("시간 초과");
                return;
            }
            Frame &top = stack.back();
            const GumboVector *children = childrenOf(top.node);
            if (!children || top.next >= children->length) {
                leave(top);
                stack.pop_back();
                continue;
            }
            const auto *child = static_cast<const GumboNode *>(children->data[top.next++]);
            if (stack.size() >= std::size_t(limits::kMaxPageDepth)) {
                m_refusal = QStringLiteral("페이지가 %1단계 넘게 겹쳐 있음").arg(limits::kMaxPageDepth);
                return;
            }
            const Context inside = top.inside;
            enter(child, inside, stack);
        }
    }

    static const GumboVector *childrenOf(const GumboNode *node)
    {
        if (node->type == GUMBO_NODE_DOCUMENT)
            return &node->v.document.children;
        if (node->type == GUMBO_NODE_ELEMENT)
            return &node->v.element.children;
        return nullptr;
    }

    // Visits a node: writes what it opens, and pushes it when its children
    // are to be visited.
    void enter(const GumboNode *node, Context context, std::vector<Frame> &stack)
    {
        switch (node->type) {
        case GUMBO_NODE_DOCUMENT:
            stack.emplace_back(node);
            return;
        case GUMBO_NODE_TEXT:
        case GUMBO_NODE_WHITESPACE:
        case GUMBO_NODE_CDATA:
            if (context == Context::Content)
                text(node->v.text.text);
            return;
        case GUMBO_NODE_ELEMENT:
            break;
        default: // comments; template contents are never shown
            return;
        }
        if (node->v.element.tag_namespace != GUMBO_NAMESPACE_HTML)
            return; // drawings and formulas
        const Shape shape = shapeOf(node->v.element.tag);
        if (context == Context::ShownTable) {
            // Only the rows of a shown table; its caption and stray content are dropped.
            if (isRowGroup(node))
                stack.emplace_back(node, Context::ShownTable);
            else if (shape.kind == Kind::Row)
                stack.push_back(shownPart(node, "tr", Context::ShownRow));
            return;
        }
        if (context == Context::ShownRow) {
            if (shape.kind == Kind::Cell)
                stack.push_back(shownPart(node, node->v.element.tag == GUMBO_TAG_TH ? "th" : "td", Context::Content));
            return;
        }
        Frame frame(node);
        switch (shape.kind) {
        case Kind::Skip:
            return;
        case Kind::Transparent:
            break;
        case Kind::Block:
            if (!open(frame, QLatin1String(shape.tag ? shape.tag : gumbo_normalized_tagname(node->v.element.tag))))
                startLine(frame);
            frame.block = true;
            blockEdge();
            break;
        case Kind::Inline:
            open(frame, QLatin1String(shape.tag ? shape.tag : gumbo_normalized_tagname(node->v.element.tag)));
            break;
        case Kind::Break:
            lineBreak();
            return;
        case Kind::Rule:
            if (takeTag())
                m_out += QLatin1String("<hr>");
            else
                space();
            blockEdge();
            return;
        case Kind::WordBreak:
            m_out += QChar(0x200B);
            m_wordRun = 0;
            return;
        case Kind::Table:
            if (openTable(frame, node)) {
                frame.inside = Context::ShownTable;
                break;
            }
            // Shown as text: its rows become lines.
            if (!open(frame, QStringLiteral("div")))
                startLine(frame);
            frame.block = true;
            blockEdge();
            break;
        case Kind::Row:
            frame.breakAfter = true;
            break;
        case Kind::Cell:
            frame.separate = true;
            break;
        case Kind::Link: {
            const QString target = linkTarget(node);
            if (!target.isEmpty())
                open(frame, QStringLiteral("a href=\"%1\"").arg(target.toHtmlEscaped()), "a");
            break;
        }
        case Kind::Font: {
            const QString colour = colourOf(node);
            if (!colour.isEmpty())
                open(frame, QStringLiteral("font color=\"%1\"").arg(colour), "font");
            break;
        }
        }
        stack.push_back(std::move(frame));
    }

    void leave(const Frame &frame)
    {
        m_out += frame.close;
        if (frame.opened)
            --m_open;
        if (frame.shownTable)
            --m_tableDepth;
        if (frame.breakAfter && !m_atLineStart)
            lineBreak();
        if (frame.separate)
            space();
        if (frame.block)
            blockEdge();
    }

    bool takeTag()
    {
        if (m_tags >= limits::kMaxShownTags)
            return false;
        ++m_tags;
        return true;
    }

    // Writes an opening tag when the tag budget and the nesting allow it.
    bool open(Frame &frame, const QString &openTag, const char *closeName = nullptr)
    {
        if (m_open >= limits::kMaxShownDepth || !takeTag())
            return false;
        const QString name = closeName ? QString::fromLatin1(closeName) : openTag.section(' ', 0, 0);
        m_out += '<' + openTag + '>';
        frame.close = QStringLiteral("</") + name + '>';
        frame.opened = true;
        ++m_open;
        return true;
    }

    // A table is shown as one while tables nest no deeper than the bound, its
    // cells fit the page's budget and its whole frame of tags fits: every row
    // and cell tag is taken here, so that content cannot leave it half-written.
    bool openTable(Frame &frame, const GumboNode *table)
    {
        const TableCount count = countTable(table);
        const int tags = 1 + count.rows + count.cells;
        if (count.rows == 0 || m_tableDepth >= limits::kMaxShownTableDepth
            || m_cells + count.cells > limits::kMaxShownTableCells || m_tags + tags > limits::kMaxShownTags
            || m_open + 3 > limits::kMaxShownDepth)
            return false;
        m_cells += count.cells;
        m_tags += tags;
        const char *border = attributeOf(table, "border");
        m_out += border && QByteArray(border).trimmed() != "0" ? QLatin1String("<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\">")
                                                          : QLatin1String("<table cellspacing=\"0\" cellpadding=\"2\">");
        frame.close = QStringLiteral("</table>");
        frame.opened = true;
        frame.shownTable = true;
        frame.block = true;
        ++m_open;
        ++m_tableDepth;
        blockEdge();
        return true;
    }

    // A row or cell of a shown table: its tag was taken with the table.
    Frame shownPart(const GumboNode *node, const char *tag, Context inside)
    {
        Frame frame(node, inside);
        m_out += '<' + QLatin1String(tag) + '>';
        frame.close = QStringLiteral("</") + QLatin1String(tag) + '>';
        frame.opened = true;
        frame.block = true;
        ++m_open;
        blockEdge();
        return frame;
    }

    void lineBreak()
    {
        if (takeTag()) {
            m_out += QLatin1String("<br>");
            m_atLineStart = true;
        } else
            space();
        m_wordRun = 0;
    }

    // A block that cannot be one (too deep, or past the tag budget) still
    // starts and ends its own line.
    void startLine(Frame &frame)
    {
        if (!m_atLineStart)
            lineBreak();
        frame.breakAfter = true;
    }

    // Where a block starts or ends, a word and a line do too.
    void blockEdge()
    {
        m_wordRun = 0;
        m_lastSpace = true;
        m_atLineStart = true;
    }

    void space()
    {
        if (!m_lastSpace) {
            m_out += ' ';
            m_lastSpace = true;
            count(1);
        }
        m_wordRun = 0;
    }

    void count(int chars)
    {
        m_textChars += chars;
        if (m_textChars > limits::kMaxShownTextChars)
            m_refusal = QStringLiteral("글이 %1자를 넘음").arg(limits::kMaxShownTextChars);
    }

    // White space collapses to one blank; a run of letters longer than the
    // bound is offered a break (U+200B) so that the line breaker never sees
    // one long unbreakable word.
    void text(const char *utf8)
    {
        const QString t = QString::fromUtf8(utf8);
        for (const QChar c : t) {
            if (!m_refusal.isEmpty())
                return;
            if (c.isSpace()) {
                space();
                continue;
            }
            if (m_wordRun >= limits::kMaxShownWordChars && !c.isLowSurrogate()) {
                m_out += QChar(0x200B);
                m_wordRun = 0;
            }
            switch (c.unicode()) {
            case '<': m_out += QLatin1String("&lt;"); break;
            case '>': m_out += QLatin1String("&gt;"); break;
            case '&': m_out += QLatin1String("&amp;"); break;
            case '"': m_out += QLatin1String("&quot;"); break;
            default: m_out += c; break;
            }
            m_lastSpace = false;
            m_atLineStart = false;
            ++m_wordRun;
            count(1);
        }
    }

    QDeadlineTimer m_deadline;
    QString m_out;
    QString m_refusal;
    bool m_timedOut = false;
    int m_tags = 0;
    int m_open = 0;
    int m_tableDepth = 0;
    int m_cells = 0;
    int m_textChars = 0;
    int m_wordRun = 0;
    bool m_lastSpace = true;
    bool m_atLineStart = true;
};

} // namespace

ShapedPage shapePage(const HtmlDocument &document, QDeadlineTimer deadline)
{
    return Shaper(deadline).run(document.root());
}

} // namespace platform
