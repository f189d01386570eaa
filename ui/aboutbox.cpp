#include "ui/aboutbox.h"

#include "ui/clickablelabel.h"
#include "updater/updater.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
const QString AppName = QStringLiteral("Pavo Server");

void useSmallerFont(QWidget* widget)
{
    QFont font = widget->font();
    font.setPointSize(qMax(1, font.pointSize() - 3));
    widget->setFont(font);
}
} // namespace

AboutBox::AboutBox(QWidget* parent) : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("About %1").arg(AppName));

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setAlignment(Qt::AlignHCenter);
    layout->setContentsMargins(50, 25, 50, 25);

    layout->addWidget(new ClickableLabel, 0, Qt::AlignHCenter);
    auto* name = new QLabel(AppName);
    QFont bold = name->font();
    bold.setWeight(75);
    name->setFont(bold);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    layout->addWidget(new QLabel(tr("Remote control")), 0, Qt::AlignHCenter);
    layout->addSpacing(25);

    addUpdater(layout);
    layout->addSpacing(25);
    auto* notice = new QLabel(tr("Copyright %1 Corvin Osmunda").arg(QChar(0x00A9)));
    useSmallerFont(notice);
    layout->addWidget(notice, 0, Qt::AlignHCenter);
}

void AboutBox::addUpdater(QVBoxLayout* layout)
{
    Updater* updater = Updater::instance();
    if (!updater)
        return;
    QLabel* label = updater->getLabel();
    label->setWordWrap(true);
    useSmallerFont(label);
    // Centred as text, not as a widget: a wrapping label the layout sizes by its hint alone
    // keeps the height of its first text and cuts off a longer one.
    label->setAlignment(Qt::AlignHCenter);
    layout->addWidget(label);
    QPushButton* button = updater->getButton();
    button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    useSmallerFont(button);
    layout->addWidget(button, 0, Qt::AlignHCenter);
}
