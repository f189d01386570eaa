#include "ui/welcomeview.h"

#include "platform/platform.h"
#include "server/core.h"
#include "ui/clickablelabel.h"
#include "ui/icons.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QHostInfo>
#include <QPushButton>
#include <QSettings>
#include <QSystemTrayIcon>

namespace {
const QString AppName = QStringLiteral("Pavo Server");
const QString WelcomeKey = QStringLiteral("welcome");

QLabel* titleLabel(const QString& text, const QPalette& palette)
{
    auto* label = new QLabel(QStringLiteral("<h1 style='font-weight:300'>") + text + QStringLiteral("</h1>"));
    label->setPalette(palette);
    QFont font = label->font();
    font.setPointSize(int(font.pointSize() * 1.25));
    font.setStyleName(QStringLiteral("Light"));
    font.setWeight(25);
    label->setFont(font);
    return label;
}
} // namespace

WelcomeView::WelcomeView()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(AppName);
    const bool available = Core::instance()->platform()->isAvailable();

    auto* layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    layout->setContentsMargins(30, 30, 30, 30);
    layout->setSpacing(30);

    layout->addWidget(new ClickableLabel);
    layout->addLayout(buildText(available));
}

bool WelcomeView::dismissed()
{
    // Without a tray icon the greeting is the only sign that the program runs at all.
    return QSettings().value(WelcomeKey, false).toBool() && QSystemTrayIcon::isSystemTrayAvailable();
}

QLayout* WelcomeView::buildText(bool available)
{
    auto* column = new QVBoxLayout;
    column->setAlignment(Qt::AlignCenter);
    column->setSpacing(30);
    column->addWidget(titleLabel(tr("Welcome to %1").arg(AppName), palette()));

    auto* body = new QLabel(bodyText(available));
    body->setTextFormat(Qt::RichText);
    body->setWordWrap(true);
    body->setPalette(palette());
    body->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    column->addWidget(body);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(15);
    if (available && QSystemTrayIcon::isSystemTrayAvailable()) {
        auto* dontShow = new QCheckBox(tr("Do not show this message again"));
        connect(dontShow, &QCheckBox::toggled, this, [](bool on) { QSettings().setValue(WelcomeKey, on); });
        row->addWidget(dontShow);
    }
    auto* button = new QPushButton(available ? tr("Use %1").arg(AppName) : tr("OK"));
    connect(button, &QPushButton::clicked, this, &QWidget::close, Qt::QueuedConnection);
    row->addWidget(button);
    column->addLayout(row);
    return column;
}

QString WelcomeView::bodyText(bool available) const
{
    if (!available)
        return QStringLiteral("<p>") + tr("%1 installed a GNOME Shell extension.").arg(AppName) + QLatin1Char(' ') +
               tr("To enable the extension please restart your computer or log out.") + trayText();
    // The host name is the machine's own, but nothing keeps it free of markup.
    const QString host = QHostInfo::localHostName().toHtmlEscaped();
    return tr("You can now connect your device to this %1 named <b>%2</b>.").arg(AppName, host) + QLatin1Char(' ') +
           tr("A newer client shows a code when it pairs: authorize it only if this computer shows the same code.") +
           trayText();
}

QString WelcomeView::trayText() const
{
    // GNOME Shell shows no tray icons until an extension of the desktop's own adds them.
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return QStringLiteral("<p>") + tr("The top bar shows no tray icon for %1.").arg(AppName) + QLatin1Char(' ') +
               tr("To get one, install the package gnome-shell-extension-appindicator, then log out and in again.");
    const QString tray = iconPath("tray", 16, palette().color(QPalette::Window));
    return QStringLiteral("<p><img src='") + tray + QStringLiteral("' style='vertical-align: bottom'>&nbsp; ") +
           tr("%1 lives as a tray icon on your menu bar.").arg(AppName) + QStringLiteral("<p>");
}
