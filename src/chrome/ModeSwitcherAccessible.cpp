#include "chrome/ModeSwitcherAccessible.h"

#include "chrome/ModeSwitcher.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>

namespace vmk::chrome {

namespace {

class SegmentAccessible;

class SwitcherAccessible : public QAccessibleWidget {
public:
    explicit SwitcherAccessible(ModeSwitcher* switcher)
        : QAccessibleWidget(switcher, QAccessible::PageTabList, QStringLiteral("Mode"))
    {
    }
    ~SwitcherAccessible() override
    {
        for (QAccessible::Id id : m_children)
            if (id && QAccessible::accessibleInterface(id))
                QAccessible::deleteAccessibleInterface(id);
    }
    ModeSwitcher* switcher() const { return static_cast<ModeSwitcher*>(widget()); }

    int childCount() const override { return int(modeSegments().size()); }
    QAccessibleInterface* child(int index) const override;
    int indexOfChild(const QAccessibleInterface* child) const override;
    QAccessibleInterface* childAt(int x, int y) const override
    {
        const QPoint local = switcher()->mapFromGlobal(QPoint(x, y));
        const int at = switcher()->segmentAt(local);
        return at >= 0 ? child(at) : nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        return switcher()->hasFocus() ? child(switcher()->focusedSegment()) : nullptr;
    }

private:
    mutable QAccessible::Id m_children[6] = {};
};

class SegmentAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    SegmentAccessible(ModeSwitcher* switcher, int mode)
        : m_switcher(switcher), m_mode(mode)
    {
    }

    bool isValid() const override { return !m_switcher.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_switcher ? m_switcher->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(m_switcher.data()); }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::PageTab; }
    QString text(QAccessible::Text t) const override
    {
        const ModeSegmentInfo& segment = modeSegments()[size_t(m_mode)];
        switch (t) {
        case QAccessible::Name:
            return segment.title;
        case QAccessible::Description:
            return segment.helpText;
        case QAccessible::Accelerator:
            return QStringLiteral("Ctrl+%1").arg(m_mode + 1);
        default:
            return {};
        }
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!m_switcher)
            return {};
        const QRect local = m_switcher->segmentRect(m_mode).toAlignedRect();
        return QRect(m_switcher->mapToGlobal(local.topLeft()), local.size());
    }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!m_switcher)
            return s;
        s.checkable = true;
        s.selectable = true;
        s.focusable = true;
        s.checked = m_switcher->mode() == m_mode;
        s.selected = s.checked;
        s.disabled = !m_switcher->isSegmentEnabled(m_mode);
        s.focused = m_switcher->hasFocus() && m_switcher->focusedSegment() == m_mode;
        s.invisible = !m_switcher->isVisible();
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& name) override
    {
        if (m_switcher && name == pressAction())
            m_switcher->clickSegment(m_mode);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<ModeSwitcher> m_switcher;
    int m_mode;
};

QAccessibleInterface* SwitcherAccessible::child(int index) const
{
    if (index < 0 || index >= childCount())
        return nullptr;
    if (!m_children[index] || !QAccessible::accessibleInterface(m_children[index])) {
        auto* segment = new SegmentAccessible(switcher(), index);
        m_children[index] = QAccessible::registerAccessibleInterface(segment);
    }
    return QAccessible::accessibleInterface(m_children[index]);
}

int SwitcherAccessible::indexOfChild(const QAccessibleInterface* child) const
{
    for (int i = 0; i < childCount(); ++i)
        if (m_children[i] && QAccessible::accessibleInterface(m_children[i]) == child)
            return i;
    return -1;
}

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("vmk::chrome::ModeSwitcher") && object && object->isWidgetType())
        return new SwitcherAccessible(static_cast<ModeSwitcher*>(object));
    return nullptr;
}

} // namespace

void installModeSwitcherAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

} // namespace vmk::chrome
