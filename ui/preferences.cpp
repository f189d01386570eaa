#include "ui/preferences.h"

#include "server/core.h"
#include "server/server.h"

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
}

void Preferences::addDevices(QVBoxLayout* column)
{
    // The tray menu works before the core is ready; until then there is no server to ask.
    Server* server = Core::instance()->server();
    const int count = server ? server->authorizedDeviceCount() : 0;
    if (count < 1)
        return;
    auto* label = new QLabel(tr("%n devices authorized", "", count));
    auto* deauthorize = new QPushButton(tr("Deauthorize All"));
    connect(deauthorize, &QPushButton::clicked, this, [server, label, deauthorize] {
        server->deauthorizeAll();
        label->clear();
        deauthorize->setEnabled(false);
    });
    column->addWidget(label);
    column->addWidget(deauthorize, 0, Qt::AlignLeft);
    column->addSpacing(30);
}
