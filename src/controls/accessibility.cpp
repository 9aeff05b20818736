#include "controls/accessibility.h"

#include "controls/progressbar.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace controls {

namespace {

// The bar's value, range and shown percentage, read-only.
class AccessibleProgressBar : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleProgressBar(ProgressBar *bar) : QAccessibleWidget(bar, QAccessible::ProgressBar) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value) {
            const ProgressBar *b = bar();
            const int span = b->max() - b->min();
            const int percent = span > 0 ? qBound(0, int(qint64(b->value() - b->min()) * 100 / span), 100) : 0;
            return QStringLiteral("%1 %").arg(percent);
        }
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return bar()->value(); }
    void setCurrentValue(const QVariant &) override {} // a display, not an input
    QVariant maximumValue() const override { return bar()->max(); }
    QVariant minimumValue() const override { return bar()->min(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    const ProgressBar *bar() const { return static_cast<const ProgressBar *>(widget()); }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("controls::CandyButton") || className == QLatin1String("controls::WindowButton"))
        return new QAccessibleWidget(widget, QAccessible::Button);
    if (className == QLatin1String("controls::Caption"))
        return new QAccessibleWidget(widget, QAccessible::StaticText);
    if (className == QLatin1String("controls::ProgressBar"))
        return new AccessibleProgressBar(static_cast<ProgressBar *>(widget));
    return nullptr;
}

} // namespace

void installAccessibility()
{
    static const bool installed = (QAccessible::installFactory(factory), true);
    Q_UNUSED(installed);
}

} // namespace controls
