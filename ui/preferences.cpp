#include "ui/preferences.h"

#include "server/core.h"
#include "server/server.h"
#include "ui/shorttext.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {
const QString AppName = QStringLiteral("Pavo Server");
}

Preferences::Preferences(QWidget* parent) : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("%1 Preferences").arg(AppName));

    auto* layout = new QHBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(30, 15, 30, 15);
    layout->setSpacing(30);
    auto* column = new QVBoxLayout;
    column->setAlignment(Qt::AlignTop);
    column->setSpacing(10);
    layout->addLayout(column);

    addSwitches(column);
    column->addSpacing(30);
    addDevices(column);
}

void Preferences::addSwitches(QVBoxLayout* column)
{
    Core* core = Core::instance();
    auto* autostart = new QCheckBox(tr("Automatically start %1 at login").arg(AppName));
    autostart->setChecked(core->getAutostart());
    connect(autostart, &QCheckBox::toggled, core, &Core::setAutostart);
    column->addWidget(autostart);

    auto* preventSleep = new QCheckBox(tr("Prevent sleep when clients are connected"));
    preventSleep->setChecked(core->getPreventSleep());
    connect(preventSleep, &QCheckBox::toggled, core, &Core::setPreventSleep);
    column->addWidget(preventSleep);

    auto* olderClients = new QCheckBox(tr("Allow older clients"));
    olderClients->setChecked(Server::allowsOlderClients());
    olderClients->setToolTip(tr("Older clients pair without a verification code, and anyone on the same network "
                                "can read what they send. Turn this off once every device uses a newer client."));
    connect(olderClients, &QCheckBox::toggled, this, &Server::setAllowOlderClients);
    column->addWidget(olderClients);
}

void Preferences::addDevices(QVBoxLayout* column)
{
    // The tray menu works before the core is ready; until then there is no server to ask.
    Server* server = Core::instance()->server();
    const int count = server ? server->authorizedDeviceCount() : 0;
    if (count < 1)
        return;
    auto* label = new QLabel(countText(count));
    auto* list = new QWidget;
    auto* rows = new QVBoxLayout(list);
    rows->setContentsMargins(0, 0, 0, 0);
    auto* deauthorize = new QPushButton(tr("Deauthorize All"));
    for (const QString& id : server->authorizedDeviceIds())
        rows->addWidget(deviceRow(server, id, [server, label, deauthorize] {
            const int left = server->authorizedDeviceCount();
            label->setText(left > 0 ? countText(left) : QString());
            deauthorize->setEnabled(left > 0);
        }));
    connect(deauthorize, &QPushButton::clicked, this, [server, label, list, deauthorize] {
        server->deauthorizeAll();
        label->clear();
        list->hide();
        deauthorize->setEnabled(false);
    });
    column->addWidget(label);
    column->addWidget(list);
    column->addWidget(deauthorize, 0, Qt::AlignLeft);
    column->addSpacing(30);
}

QWidget* Preferences::deviceRow(Server* server, const QString& id, const std::function<void()>& forgotten)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    // The device chose its id: shown as text, never as markup.
    auto* name = new QLabel(shortText(id));
    name->setTextFormat(Qt::PlainText);
    layout->addWidget(name, 1);
    auto* forget = new QPushButton(tr("Forget"));
    connect(forget, &QPushButton::clicked, row, [server, id, row, forgotten] {
        server->forget(id);
        row->deleteLater();
        forgotten();
    });
    layout->addWidget(forget);
    return row;
}

QString Preferences::countText(int count)
{
    return tr("%n devices authorized", "", count);
}
