#pragma once

#include <QDialog>

// Greets the user at start-up and says where the program lives; when the desktop integration
// does not work yet, it says what the user has to do about it instead.
class WelcomeView : public QDialog
{
    Q_OBJECT
public:
    WelcomeView();

    // Whether the user asked not to be greeted again, and the tray icon is there to find the program by.
    static bool dismissed();

private:
    QLayout* buildText(bool available);
    QString bodyText(bool available) const;
    QString trayText() const;
};
