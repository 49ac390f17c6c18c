#include "reader/quietaccessibility.h"

#include <QAccessible>

namespace {

QObject* g_quiet = nullptr;
QAccessible::UpdateHandler g_next = nullptr;

bool quietened(const QAccessibleEvent* event)
{
    switch (event->type()) {
    case QAccessible::TextCaretMoved:
    case QAccessible::TextSelectionChanged:
    case QAccessible::Selection:
        return event->object() == g_quiet;
    default:
        return false;
    }
}

void filter(QAccessibleEvent* event)
{
    if (quietened(event))
        return;
    // Passed on the way it would have gone without this filter.
    QAccessible::installUpdateHandler(g_next);
    QAccessible::updateAccessibility(event);
    QAccessible::installUpdateHandler(filter);
}

} // namespace

QuietAccessibility::QuietAccessibility(QObject* control) : m_previous(g_quiet)
{
    if (!g_quiet)
        g_next = QAccessible::installUpdateHandler(filter);
    g_quiet = control;
}

QuietAccessibility::~QuietAccessibility()
{
    g_quiet = m_previous;
    if (!g_quiet)
        QAccessible::installUpdateHandler(g_next);
}
