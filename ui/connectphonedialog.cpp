#include "ui/connectphonedialog.h"

#include "server/core.h"
#include "server/server.h"
#include "ui/qrcodeimage.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace {
// Large enough for a phone's camera at arm's length, small enough for any screen.
constexpr int CodeSide = 240;

QLabel* plainLabel(const QString& text)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    return label;
}
} // namespace

ConnectPhoneDialog::ConnectPhoneDialog(QWidget* parent) : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("Connect a Phone"));
    // How tools on a virtual display find this window among the program's others.
    setWindowRole(QStringLiteral("connect-phone"));

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->setContentsMargins(30, 25, 30, 25);
    layout->setSpacing(15);

    // The server comes with the core's readiness, and may be between two listening sockets.
    const Server* server = Core::instance()->server();
    const quint16 port = server ? server->port() : 0;
    const QString host = Server::localNetworkAddress();
    if (port == 0)
        addExplanation(layout, tr("Pavo Server is not ready for phones yet. Open this window again in a moment."));
    else if (host.isEmpty())
        addExplanation(layout, tr("This computer is not connected to a local network. Connect it to the network "
                                  "your phone uses, then open this window again."));
    else
        addAddress(layout, QStringLiteral("http://%1:%2/").arg(host).arg(port));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    layout->addWidget(buttons);
}

void ConnectPhoneDialog::addAddress(QVBoxLayout* layout, const QString& address)
{
    addExplanation(layout, tr("Scan the code with your phone's camera, or open the address in its browser. The "
                              "phone must be on the same network as this computer."));
    // Drawn for the screen's real pixels, so that every module stays a sharp square.
    const qreal ratio = devicePixelRatioF();
    QPixmap code = QPixmap::fromImage(QrCodeImage::draw(address, qRound(CodeSide * ratio)));
    if (!code.isNull()) {
        code.setDevicePixelRatio(ratio);
        auto* codeLabel = new QLabel;
        codeLabel->setObjectName(QStringLiteral("code"));
        codeLabel->setPixmap(code);
        codeLabel->setAccessibleName(tr("QR code of the address"));
        layout->addWidget(codeLabel, 0, Qt::AlignHCenter);
    }
    QLabel* addressLabel = plainLabel(address);
    addressLabel->setObjectName(QStringLiteral("address"));
    addressLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QFont font = addressLabel->font();
    font.setPointSizeF(font.pointSizeF() * 1.25);
    addressLabel->setFont(font);
    layout->addWidget(addressLabel, 0, Qt::AlignHCenter);
}

void ConnectPhoneDialog::addExplanation(QVBoxLayout* layout, const QString& text)
{
    QLabel* label = plainLabel(text);
    label->setWordWrap(true);
    label->setFixedWidth(CodeSide + 60);
    layout->addWidget(label);
}
