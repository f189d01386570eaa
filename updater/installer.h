#pragma once

#include <QObject>

namespace updater {

// Installs a downloaded file; finished() means the installation is over and went well.
class Installer : public QObject
{
    Q_OBJECT
public:
    explicit Installer(QObject* parent = nullptr);
    virtual void start(const QString& filename) = 0;
    // Whether the file may go once finished() has come: not while something started from it may
    // still open it.
    virtual bool doneWithFile() const { return true; }

signals:
    void error(QString message);
    void finished();
};

} // namespace updater
