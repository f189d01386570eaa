#pragma once

#include <QDialog>

class QVBoxLayout;

// Leads a phone to the browser remote that the program's port serves: a code for its camera and
// the same address as text to type or copy. Without a way for a phone to reach the page it says
// why instead.
class ConnectPhoneDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ConnectPhoneDialog(QWidget* parent = nullptr);

private:
    void addAddress(QVBoxLayout* layout, const QString& address);
    void addExplanation(QVBoxLayout* layout, const QString& text);
};
