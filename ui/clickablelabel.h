#pragma once

#include <QLabel>

class QScreen;

// A label that acts like a link: the application icon that leads to the product's web page,
// drawn for the density of the screen its window is on.
class ClickableLabel : public QLabel
{
    Q_OBJECT
public:
    explicit ClickableLabel(QWidget* parent = nullptr);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void onScreenChanged(QScreen* screen);
};
