#include "windows/linewindow.h"
#include "display/trafficwrap.h"
#include <QGlyphRun>
#include <QListWidget>
#include <QPainter>
#include <QRawFont>
#include <QStyledItemDelegate>
#include <array>

namespace {
const int FrameMs = 16;

bool FramePassed(const QElapsedTimer &since)
{
    return !since.isValid() || since.elapsed() >= FrameMs;
}

// Draws each row as plain text. The style's item painting measures, elides and lays
// out every visible row on every paint, which made one paint of the list cost as
// much as a few hundred packets.
class RowPainter : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const bool selected = option.state & QStyle::State_Selected;
        if (selected)
            painter->fillRect(option.rect, option.palette.highlight());
        painter->setPen(selected ? option.palette.highlightedText().color() : option.palette.text().color());
        painter->setFont(option.font);
        const QWidget *view = option.widget;
        const int margin = view->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const int top = (option.rect.height() - option.fontMetrics.height()) / 2;
        const QPoint at = option.rect.topLeft() + QPoint(margin, top);
        const QString text = index.data().toString();
        if (!DrawMonospaced(painter, at, text, option.font))
            painter->drawText(QRect(at, option.rect.bottomRight()), Qt::AlignLeft | Qt::AlignTop, text);
    }

private:
    // A row in a monospaced font is drawn from its glyphs one advance apart, with no
    // text layout: on a busy link every visible row is new at every paint. False for
    // other fonts and for characters outside ASCII.
    bool DrawMonospaced(QPainter *painter, const QPoint &at, const QString &text, const QFont &font) const
    {
        if (font != GlyphFont) {
            GlyphFont = font;
            Glyphs = QRawFont::fromFont(font);
            const QFontMetricsF metrics(font);
            Advance = metrics.horizontalAdvance(QLatin1Char('0'));
            Monospaced = Glyphs.isValid() && metrics.horizontalAdvance(QLatin1Char('W')) == Advance
                && metrics.horizontalAdvance(QLatin1Char('i')) == Advance;
            for (char16_t c = 0; c < GlyphOf.size(); ++c) {
                int room = 1;
                const QChar character(c);
                if (!Glyphs.glyphIndexesForChars(&character, 1, &GlyphOf[c], &room))
                    GlyphOf[c] = 0;
            }
        }
        if (!Monospaced)
            return false;
        QList<quint32> glyphs(text.size());
        QList<QPointF> positions(text.size());
        const qreal baseline = Glyphs.ascent();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text.at(i).unicode();
            if (c >= GlyphOf.size() || GlyphOf[c] == 0)
                return false;
            glyphs[i] = GlyphOf[c];
            positions[i] = QPointF(i * Advance, baseline);
        }
        QGlyphRun run;
        run.setRawFont(Glyphs);
        run.setGlyphIndexes(glyphs);
        run.setPositions(positions);
        painter->drawGlyphRun(at, run);
        return true;
    }

    mutable QFont GlyphFont;
    mutable QRawFont Glyphs;
    mutable std::array<quint32, 128> GlyphOf{}; // ASCII character to glyph
    mutable qreal Advance = 0;
    mutable bool Monospaced = false;
};
}

LineWindow::LineWindow(QListWidget *list) : ListBox(list)
{
    // Without uniform sizes every append measures all rows.
    ListBox->setUniformItemSizes(true);
    ListBox->setItemDelegate(new RowPainter(ListBox));
    ShowSoon.setSingleShot(true);
    QObject::connect(&ShowSoon, &QTimer::timeout, &ShowSoon, [this] { Show(); });
    PaintHeld.setSingleShot(true);
    QObject::connect(&PaintHeld, &QTimer::timeout, &PaintHeld, [this] {
        SinceRepaint.start();
        ListBox->viewport()->setUpdatesEnabled(true); // and so painted in this frame
    });
}

void LineWindow::AppendRows(const QStringList &rows)
{
    for (const QString &row : rows)
        Add(row, false);
}

void LineWindow::AppendRow(const QString &row) { Add(row, false); }

void LineWindow::AppendWrapped(const QString &line) { Add(line, true); }

void LineWindow::ShowStatusRow(const QString &row)
{
    if (StatusLast && !Pending.empty()) {
        Pending.back().Text = row;
    } else if (StatusLast && ListBox->count() > 0) {
        QListWidgetItem *item = ListBox->item(ListBox->count() - 1);
        item->setText(row);
        item->setSizeHint(RowSize(row));
    } else {
        Add(row, false);
    }
    StatusLast = true;
}

void LineWindow::Add(const QString &text, bool wrap)
{
    StatusLast = false;
    if (!ShowSoon.isActive())
        ShowSoon.start(0);
    Pending.push_back({text, wrap});
    // Each line gives a row at least, and only the newest MaxRows rows are kept.
    if (Pending.size() > 2 * MaxRows)
        Pending.erase(Pending.begin(), Pending.end() - MaxRows);
}

void LineWindow::Clear()
{
    StatusLast = false;
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

    // A paint per batch would cost more than the rows: they are painted now if a frame
    // has passed since the last paint, else when the frame is over.
    QWidget *view = ListBox->viewport();
    const bool paintNow = FramePassed(SinceRepaint);
    if (!paintNow && !PaintHeld.isActive()) {
        view->setUpdatesEnabled(false);
        PaintHeld.start(FrameMs - int(SinceRepaint.elapsed()));
    }
    // Trimming first keeps the row count, and so the scroll range, steady: the view
    // then has nothing to scroll, only the rows to redraw.
    const int excess = ListBox->count() + int(rows.size()) - MaxRows;
    if (excess > 0)
        ListBox->model()->removeRows(0, excess);
    for (const QString &row : rows) {
        auto *item = new QListWidgetItem(row);
        item->setSizeHint(RowSize(row));
        ListBox->addItem(item);
    }
    // Current so the list scrolls to the newest row, but nothing left highlighted.
    ListBox->setCurrentRow(ListBox->count() - 1, QItemSelectionModel::Clear);
    if (paintNow) {
        SinceRepaint.start();
        PaintHeld.stop(); // due, but the loop was busy: the hold ends with this paint
        view->setUpdatesEnabled(true);
        view->repaint();
    }
}

// The size the style gives a row, worked out without laying its text out: with the
// uniform sizes of the list the first row's size is asked at every layout, which is
// after every append.
QSize LineWindow::RowSize(const QString &row)
{
    const QFontMetrics metrics(ListBox->font());
    if (RowHeight < 0 || MeasuredFont != ListBox->font()) {
        MeasuredFont = ListBox->font();
        QStyleOptionViewItem option;
        option.initFrom(ListBox);
        option.font = MeasuredFont;
        option.fontMetrics = metrics;
        option.features = QStyleOptionViewItem::HasDisplay;
        option.text = "0";
        const QSize one = ListBox->style()->sizeFromContents(QStyle::CT_ItemViewItem, &option, QSize(), ListBox);
        RowHeight = one.height();
        TextMargins = one.width() - metrics.horizontalAdvance(option.text);
        const bool monospaced = metrics.horizontalAdvance('W') == metrics.horizontalAdvance('i');
        CharWidth = monospaced ? metrics.horizontalAdvance('0') : 0;
    }
    const int text = CharWidth > 0 ? CharWidth * int(row.size()) : metrics.horizontalAdvance(row);
    return {TextMargins + text, RowHeight};
}
