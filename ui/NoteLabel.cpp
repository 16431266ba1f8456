#include "ui/NoteLabel.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QTextLayout>
#include <QToolTip>

#include <algorithm>

CNoteLabel::CNoteLabel(QWidget* parent)
    : QLabel(parent)
{}

CNoteLabel::Wrapped CNoteLabel::Wrap() const
{
    const QRect area = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    QTextOption option;
    // Between words where it can, else anywhere: a path without blanks still breaks at the column's edge.
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    Wrapped wrapped;
    const QStringList paragraphs = text().split(QLatin1Char('\n'));
    for (const QString& paragraph : paragraphs) {
        QTextLayout layout(paragraph, font(), this);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(area.width());
            wrapped.lines.append(paragraph.mid(line.textStart(), line.textLength()));
        }
        layout.endLayout();
    }
    const qsizetype room = std::max(1, area.height() / metrics.lineSpacing());
    if (wrapped.lines.size() > room) {
        // Too tall: the lines of the middle go, so that the note's start and its end (a path's file name, what
        // became of it) can both be read; an ellipsis stands where the cut is, and the tooltip has it whole.
        const qsizetype head = std::max<qsizetype>(1, room / 2);
        wrapped.lines.remove(head, wrapped.lines.size() - room);
        QString& cut = wrapped.lines[head - 1];
        cut = metrics.elidedText(cut.trimmed() + QChar(0x2026), Qt::ElideRight, area.width());
        wrapped.whole = false;
    }
    return wrapped;
}

QStringList CNoteLabel::Lines() const
{
    return Wrap().lines;
}

bool CNoteLabel::Fits() const
{
    return Wrap().whole;
}

void CNoteLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setFont(font());
    painter.setPen(palette().color(foregroundRole()));
    const QRect area = contentsRect();
    const QFontMetrics metrics = fontMetrics();
    int baseline = area.top() + metrics.ascent();
    for (const QString& line : Wrap().lines) {
        painter.drawText(area.left(), baseline, line);
        baseline += metrics.lineSpacing();
    }
}

bool CNoteLabel::event(QEvent* event)
{
    // A note cut at the bottom shows itself whole as its tooltip.
    if (event->type() == QEvent::ToolTip && !Fits()) {
        QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text(), this);
        return true;
    }
    return QLabel::event(event);
}
