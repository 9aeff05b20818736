// Mouse enter and exit of the alpha image controls, and their fades.
//
// All controls under one top-most owner window share one record of which
// control is under the mouse, kept as dynamic properties of that window:
//   P + "Capture"      identity of the control under the mouse (0: none)
//   P + "Client" + n   the n-th registered top-level window (n = 0, 1, ...)
//   P + "Ref" + h      how many tracking controls live on window h
// and each registered top-level window carries P + "Parent" = the owner.
// P is "AIC<major>.<minor>:". A control's identity is its address; it is
// turned back into a control only through the set of live controls, so a
// stale identity never reaches a destroyed control.
#include "controls/alphaimage.h"

#include <QApplication>
#include <QCursor>
#include <QSet>

#include <algorithm>
#include <cmath>

namespace controls {

namespace {

using WindowRef = QPointer<QWidget>;

QSet<const aicAlphaImage *> &liveControls()
{
    static QSet<const aicAlphaImage *> set;
    return set;
}

qulonglong identityOf(const aicAlphaImage *c) { return qulonglong(quintptr(c)); }

aicAlphaImage *controlOf(qulonglong identity)
{
    for (const aicAlphaImage *c : liveControls())
        if (identityOf(c) == identity)
            return const_cast<aicAlphaImage *>(c);
    return nullptr;
}

QByteArray key(const QByteArray &prefix, const char *name, qulonglong n)
{
    return prefix + name + QByteArray::number(n);
}

// The owner at the end of the chain of owners of the top-level window.
QWidget *ownerOf(QWidget *top)
{
    QWidget *o = top;
    while (o && o->parentWidget())
        o = o->parentWidget()->window();
    return o;
}

WindowRef windowAt(const QVariant &v) { return v.isValid() ? v.value<WindowRef>() : WindowRef(); }

qulonglong capture(QWidget *owner, const QByteArray &prefix)
{
    return owner ? owner->property(prefix + "Capture").toULongLong() : 0;
}

void setCapture(QWidget *owner, const QByteArray &prefix, qulonglong identity)
{
    if (owner)
        owner->setProperty(prefix + "Capture", identity);
}

} // namespace

// Kept by the control's constructor and destructor.
void registerAlphaImage(const aicAlphaImage *c, bool alive)
{
    if (alive)
        liveControls().insert(c);
    else
        liveControls().remove(c);
}

void aicAlphaImage::StartTracking()
{
    if (!m_runMode)
        return;
    QWidget *top = window();
    QWidget *owner = ownerOf(top);
    if (m_tracking && m_top == top && m_owner == owner)
        return; // already counted on this window
    if (m_tracking)
        StopTracking();
    m_top = top;
    m_owner = owner;
    m_tracking = true;

    const QByteArray P = m_prefix;
    int n = 0;
    bool registered = false;
    for (;; ++n) {
        const QVariant entry = owner->property(key(P, "Client", n));
        if (!entry.isValid())
            break;
        const WindowRef w = windowAt(entry);
        if (!w || windowAt(w->property(P + "Parent")) != owner) {
            // The list is stale: start again from nothing.
            for (int k = 0; owner->property(key(P, "Client", k)).isValid(); ++k)
                owner->setProperty(key(P, "Client", k), QVariant());
            owner->setProperty(P + "Capture", QVariant());
            n = 0;
            registered = false;
            break;
        }
        if (w == top)
            registered = true;
    }
    const QByteArray ref = key(P, "Ref", qulonglong(quintptr(top)));
    if (registered) {
        owner->setProperty(ref, owner->property(ref).toInt() + 1);
    } else {
        owner->setProperty(key(P, "Client", n), QVariant::fromValue(WindowRef(top)));
        top->setProperty(P + "Parent", QVariant::fromValue(WindowRef(owner)));
        owner->setProperty(ref, 1);
    }
}

void aicAlphaImage::StopTracking()
{
    if (!m_runMode)
        return;
    if (m_tag == QLatin1String("Timer")) {
        m_trackTimer.stop();
        m_tag.clear();
    }
    QWidget *owner = m_owner;
    QWidget *top = m_top;
    const bool wasTracking = m_tracking;
    m_tracking = false;
    if (!owner)
        return;
    const QByteArray P = m_prefix;
    if (capture(owner, P) == identityOf(this))
        setCapture(owner, P, 0);
    if (!wasTracking || !top)
        return;

    int count = 0, k = -1;
    for (;; ++count) {
        const QVariant entry = owner->property(key(P, "Client", count));
        if (!entry.isValid())
            break;
        if (windowAt(entry) == top)
            k = count;
    }
    if (k < 0)
        return;
    const QByteArray ref = key(P, "Ref", qulonglong(quintptr(top)));
    const int left = owner->property(ref).toInt() - 1;
    if (left > 0) {
        owner->setProperty(ref, left);
        return;
    }
    owner->setProperty(ref, QVariant());
    if (k == count - 1 && k == 0)
        owner->setProperty(P + "Capture", QVariant());
    if (k != count - 1)
        owner->setProperty(key(P, "Client", k), owner->property(key(P, "Client", count - 1)));
    owner->setProperty(key(P, "Client", count - 1), QVariant());
    top->setProperty(P + "Parent", QVariant());
}

int aicAlphaImage::HitTestQuery(double X, double Y, int proposed)
{
    int answer = proposed;
    if (inHitArea(int(std::nearbyint(X)), int(std::nearbyint(Y))))
        answer = 3;
    if (!m_runMode)
        return answer;
    QWidget *owner = m_owner ? m_owner.data() : ownerOf(window());
    const QByteArray &P = m_prefix;
    const qulonglong me = identityOf(this);
    const qulonglong c = capture(owner, P);
    if (c == me) {
        if (answer == 0) {
            m_trackTimer.stop();
            m_tag.clear();
            setCapture(owner, P, 0);
            emit MouseExit();
        }
        return answer;
    }
    if (c != 0) {
        if (aicAlphaImage *other = controlOf(c))
            other->ForceMouseExit();
        if (answer != 3) {
            setCapture(owner, P, 0);
            return answer;
        }
    } else if (answer != 3) {
        return answer;
    }
    // Entering: the calibration ties the cursor to the hit-test coordinates.
    const QPoint cursor = QCursor::pos();
    const QPoint origin = mapToGlobal(QPoint(0, 0));
    m_calX = int(std::nearbyint(double(cursor.x() - origin.x()) - X));
    m_calY = int(std::nearbyint(double(cursor.y() - origin.y()) - Y));
    setCapture(owner, P, me);
    emit MouseEnter();
    m_trackTimer.start(100);
    m_tag = QStringLiteral("Timer");
    return answer;
}

void aicAlphaImage::ForceMouseExit()
{
    if (m_tag == QLatin1String("Timer")) {
        m_trackTimer.stop();
        m_tag.clear();
    }
    emit MouseExit();
}

void aicAlphaImage::TrackingTick()
{
    m_trackTimer.stop();
    QWidget *owner = m_owner ? m_owner.data() : ownerOf(window());
    if (capture(owner, m_prefix) != identityOf(this)) {
        m_tag.clear();
        return;
    }
    const QPoint cursor = QCursor::pos();
    const QPoint p = cursor - mapToGlobal(QPoint(0, 0)) - QPoint(m_calX, m_calY);
    if (QApplication::widgetAt(cursor) == this && inHitArea(p.x(), p.y())) {
        m_trackTimer.start(100);
        return;
    }
    setCapture(owner, m_prefix, 0);
    m_tag.clear();
    emit MouseExit();
}

bool aicAlphaImage::isMouseOver() const
{
    if (!isEnabled())
        return false;
    QWidget *owner = m_owner ? m_owner.data() : ownerOf(const_cast<aicAlphaImage *>(this)->window());
    return capture(owner, m_prefix) == identityOf(this);
}

void aicAlphaImage::stopFade()
{
    m_fadeTimer.stop();
    m_fadeStep = 0;
}

void aicAlphaImage::FadeInOut(int FinalOpacity, int FadeStepPercent, int FadeDelayInterval)
{
    stopFade();
    FinalOpacity = std::clamp(FinalOpacity, 0, 100);
    if (FadeStepPercent == 0 || FinalOpacity == m_opacity)
        return;
    // A step of a whole range or more ends at once; capped, it cannot overflow.
    m_fadeStep = FadeStepPercent < -100 || FadeStepPercent > 100 ? 100 : std::abs(FadeStepPercent);
    if (FinalOpacity < m_opacity)
        m_fadeStep = -m_fadeStep;
    m_fadeTarget = FinalOpacity;
    m_fadeDelay = std::max(10, FadeDelayInterval);
    m_fadeTimer.setInterval(m_fadeDelay);
    FadeTick(); // the first step at once
}

void aicAlphaImage::FadeTick()
{
    m_fadeTimer.stop();
    if (m_fadeStep == 0)
        return;
    const int o = m_opacity + m_fadeStep;
    const bool ended = m_fadeStep < 0 ? m_fadeTarget >= o : o >= m_fadeTarget;
    if (!ended) {
        setOpacity(o);
        m_fadeTimer.start(m_fadeDelay);
        return;
    }
    m_fadeStep = 0;
    setOpacity(m_fadeTarget);
    emit FadeTerminated(m_opacity);
}

} // namespace controls
