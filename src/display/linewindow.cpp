#include "display/linewindow.h"
#include <QListWidget>

LineWindow::LineWindow(QListWidget *list) : ListBox(list)
{
    // Without uniform sizes every append measures all rows.
    ListBox->setUniformItemSizes(true);
}

void LineWindow::AppendRows(const QStringList &rows)
{
    if (rows.isEmpty())
        return;
    // Rows older than the newest MaxRows would be trimmed at once: never add them.
    ListBox->addItems(rows.mid(qMax(0, int(rows.size()) - MaxRows)));
    // Current so the list scrolls to the newest row, but nothing left highlighted.
    ListBox->setCurrentRow(ListBox->count() - 1, QItemSelectionModel::Clear);
    if (ListBox->count() > MaxRows)
        ListBox->model()->removeRows(0, ListBox->count() - MaxRows);
    Repaint();
}

void LineWindow::AppendRow(const QString &row)
{
    AppendRows({row});
}

void LineWindow::Clear()
{
    ListBox->clear();
}

QListWidget *LineWindow::List() const
{
    return ListBox;
}

// Rows must show while a long burst is still being processed, yet a synchronous
// paint per row would cost more than the burst itself: paint at most once a frame
// and leave the rest to Qt's own deferred update.
void LineWindow::Repaint()
{
    if (SinceRepaint.isValid() && SinceRepaint.elapsed() < 16)
        return;
    SinceRepaint.start();
    ListBox->viewport()->repaint();
}
