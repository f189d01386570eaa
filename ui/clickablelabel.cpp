#include "ui/clickablelabel.h"

#include "http/vendor.h"
#include "ui/icons.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QScreen>
#include <QUrl>
#include <QWindow>

namespace {
const QString IconPath = QStringLiteral(":/images/128/app.png");
}

ClickableLabel::ClickableLabel(QWidget* parent) : QLabel(parent)
{
    setCursor(Qt::PointingHandCursor);
    connect(this, &ClickableLabel::clicked, this, [] { QDesktopServices::openUrl(QUrl(PAVO_PRODUCT_URL)); });
}

void ClickableLabel::mouseReleaseEvent(QMouseEvent* event)
{
    // A press that was dragged off the label before release is no click.
    if (QRect(0, 0, width(), height()).contains(event->localPos().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void ClickableLabel::showEvent(QShowEvent* event)
{
    QLabel::showEvent(event);
    setPixmap(hidpiPixmap(IconPath, devicePixelRatioF()));
    connect(window()->windowHandle(), &QWindow::screenChanged, this, &ClickableLabel::onScreenChanged,
            Qt::UniqueConnection);
}

void ClickableLabel::onScreenChanged(QScreen* screen)
{
    if (screen)
        setPixmap(hidpiPixmap(IconPath, screen->devicePixelRatio()));
}
