#include "display/linewindow.h"
#include "display/trafficwrap.h"
#include <QListWidget>
#include <QStyleOptionViewItem>

namespace {
const int FrameMs = 16;

bool FramePassed(const QElapsedTimer &since)
{
    return !since.isValid() || since.elapsed() >= FrameMs;
}
}

LineWindow::Burst::Burst(LineWindow &window) : Window(window)
{
    if (Window.Bursts++ == 0)
        Window.SinceBurst.start();
}

LineWindow::Burst::~Burst()
{
    if (--Window.Bursts == 0)
        Window.Show();
}

LineWindow::LineWindow(QListWidget *list) : ListBox(list)
{
    // Without uniform sizes every append measures all rows.
    ListBox->setUniformItemSizes(true);
}

void LineWindow::AppendRows(const QStringList &rows)
{
    for (const QString &row : rows)
        Add(row, false);
    ShowWhenDue();
}

void LineWindow::AppendRow(const QString &row)
{
    Add(row, false);
    ShowWhenDue();
}

void LineWindow::AppendWrapped(const QString &line)
{
    Add(line, true);
    ShowWhenDue();
}

void LineWindow::Add(const QString &text, bool wrap)
{
    Pending.push_back({text, wrap});
    // Each line gives a row at least, and only the newest MaxRows rows are kept.
    if (Pending.size() > 2 * MaxRows)
        Pending.erase(Pending.begin(), Pending.end() - MaxRows);
}

void LineWindow::ShowWhenDue()
{
    if (Bursts == 0 || (FramePassed(SinceBurst) && FramePassed(SinceRepaint)))
        Show();
}

void LineWindow::Clear()
{
    Pending.clear();
    ListBox->clear();
}

QListWidget *LineWindow::List() const
{
    return ListBox;
}

void LineWindow::Show()
{
    if (Pending.empty())
        return;
    // Only the newest MaxRows rows can stay: wrap no more lines than give them.
    std::vector<QStringList> newestFirst;
    int count = 0;
    for (auto line = Pending.crbegin(); line != Pending.crend() && count < MaxRows; ++line) {
        newestFirst.push_back(line->Wrap ? WrapTrafficLine(line->Text) : QStringList{line->Text});
        count += newestFirst.back().size();
    }
    Pending.clear();
    QStringList rows;
    for (auto block = newestFirst.crbegin(); block != newestFirst.crend(); ++block)
        rows += *block;
    rows = rows.mid(qMax(0, int(rows.size()) - MaxRows));

    // Trimming first keeps the row count, and so the scroll range, steady: the view
    // then has nothing to scroll, only the rows to redraw.
    const int excess = ListBox->count() + int(rows.size()) - MaxRows;
    if (excess > 0)
        ListBox->model()->removeRows(0, excess);
    const QSize size = RowSize();
    for (const QString &row : rows) {
        auto *item = new QListWidgetItem(row);
        item->setSizeHint(size);
        ListBox->addItem(item);
    }
    // Current so the list scrolls to the newest row, but nothing left highlighted.
    ListBox->setCurrentRow(ListBox->count() - 1, QItemSelectionModel::Clear);
    Repaint();
}

// Every row gets the size of the widest traffic row in the list's font, measured
// once, so that laying out the list after an append never shapes text.
QSize LineWindow::RowSize()
{
    if (MeasuredRow.isValid() && MeasuredFont == ListBox->font())
        return MeasuredRow;
    MeasuredFont = ListBox->font();
    QStyleOptionViewItem option;
    option.initFrom(ListBox);
    option.font = MeasuredFont;
    option.fontMetrics = QFontMetrics(MeasuredFont);
    option.features = QStyleOptionViewItem::HasDisplay;
    option.text = QString(RowChars, QLatin1Char('0'));
    MeasuredRow = ListBox->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), ListBox);
    return MeasuredRow;
}

// Rows must show while a long burst is still being processed, yet a synchronous
// paint per row would cost more than the burst itself: paint at most once a frame
// and leave the rest to Qt's own deferred update.
void LineWindow::Repaint()
{
    if (!FramePassed(SinceRepaint))
        return;
    SinceRepaint.start();
    ListBox->viewport()->repaint();
}
