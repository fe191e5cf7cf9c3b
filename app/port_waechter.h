#pragma once

#include <QFileSystemWatcher>
#include <QObject>

#include <functional>

class QComboBox;

// Keeps a port list current while the console runs: asks for a new list
// when the operator opens the box, and when /dev, /dev/serial/by-id or the
// folder of a PELTO_COM<n> path gains or loses an entry (inotify through
// the watcher; nothing is polled).
class PortWaechter : public QObject {
public:
    PortWaechter(QComboBox* box, std::function<void()> auffrischen);

protected:
    bool eventFilter(QObject* objekt, QEvent* ereignis) override;

private:
    void Ordner_beobachten();

    QComboBox* box_;
    std::function<void()> auffrischen_;
    QFileSystemWatcher waechter_;
};
