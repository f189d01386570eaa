#include "ui/clickablelabel.h"

#include <QMouseEvent>

ClickableLabel::ClickableLabel(QWidget* parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event)
{
    // A press that was dragged off the label before release is no click.
    if (QRect(0, 0, width(), height()).contains(event->localPos().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}
