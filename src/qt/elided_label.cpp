#include "qt/elided_label.h"

#include <QPainter>
#include <QStyle>

namespace tessaly {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setMinimumWidth(1);
}

void ElidedLabel::SetMessage(const QString& text)
{
    setText(text);
    // Rich text wraps at the screen's width; a plain tooltip would run off it.
    setToolTip(text.isEmpty() ? QString()
                              : QStringLiteral("<p style=\"white-space:pre-wrap\">%1</p>").arg(text.toHtmlEscaped()));
}

QString ElidedLabel::ShownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void ElidedLabel::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    style()->drawItemText(&painter, contentsRect(), static_cast<int>(alignment()), palette(), isEnabled(),
                          ShownText(), foregroundRole());
}

}  // namespace tessaly
