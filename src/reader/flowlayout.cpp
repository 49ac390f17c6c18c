#include "reader/flowlayout.h"

#include <QStyle>
#include <QWidget>

FlowLayout::FlowLayout(QWidget* parent, int spacing) : QLayout(parent), m_spacing(spacing) {}

FlowLayout::~FlowLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
}

int FlowLayout::count() const
{
    return int(m_items.size());
}

QLayoutItem* FlowLayout::itemAt(int index) const
{
    return m_items.value(index);
}

QLayoutItem* FlowLayout::takeAt(int index)
{
    return index >= 0 && index < m_items.size() ? m_items.takeAt(index) : nullptr;
}

Qt::Orientations FlowLayout::expandingDirections() const
{
    return {};
}

bool FlowLayout::hasHeightForWidth() const
{
    return true;
}

int FlowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize FlowLayout::minimumSize() const
{
    // The widest single item: everything else can move to a row of its own.
    QSize size;
    for (const QLayoutItem* item : m_items)
        size = size.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const
{
    // All in one row.
    int width = 0;
    int height = 0;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        width += item->sizeHint().width() + (width > 0 ? gap() : 0);
        height = qMax(height, item->sizeHint().height());
    }
    const QMargins m = contentsMargins();
    return {width + m.left() + m.right(), height + m.top() + m.bottom()};
}

void FlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int FlowLayout::gap() const
{
    if (m_spacing >= 0)
        return m_spacing;
    const QWidget* owner = parentWidget();
    return owner ? owner->style()->pixelMetric(QStyle::PM_LayoutHorizontalSpacing, nullptr, owner)
                 : 6;
}

int FlowLayout::arrange(const QRect& rect, bool apply) const
{
    const QMargins m = contentsMargins();
    const QRect area = rect.marginsRemoved(m);
    const int space = qMax(gap(), 0);
    // Rows are centred, so the panel sits in the middle of a wide window.
    QList<QLayoutItem*> row;
    int rowWidth = 0;
    int rowHeight = 0;
    int y = area.y();
    auto place = [&] {
        if (row.isEmpty())
            return;
        if (apply) {
            int x = area.x() + qMax(0, (area.width() - rowWidth) / 2);
            for (QLayoutItem* item : row) {
                const QSize hint = item->sizeHint().boundedTo(QSize(area.width(), QWIDGETSIZE_MAX));
                item->setGeometry(QRect(QPoint(x, y + (rowHeight - hint.height()) / 2), hint));
                x += hint.width() + space;
            }
        }
        y += rowHeight + space;
        row.clear();
        rowWidth = 0;
        rowHeight = 0;
    };
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        const int needed = rowWidth + (row.isEmpty() ? 0 : space) + hint.width();
        if (!row.isEmpty() && needed > area.width())
            place();
        rowWidth += (row.isEmpty() ? 0 : space) + hint.width();
        rowHeight = qMax(rowHeight, hint.height());
        row.append(item);
    }
    place();
    const int used = y == area.y() ? 0 : y - space - area.y();
    return used + m.top() + m.bottom();
}
