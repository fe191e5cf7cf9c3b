#pragma once

#include <QObject>

class QSocketNotifier;
class QTimer;

// SIGTERM, SIGINT and SIGHUP (a logout, a terminal closed, a kill) close
// the windows as the exit button does, so the port gets its settings back
// and a recording its last lines. The handler only writes a byte into a
// pipe; the window's thread reads it in its event loop.
class SignalSchliessen : public QObject {
public:
    explicit SignalSchliessen(QObject* parent = nullptr);
    ~SignalSchliessen() override;

private:
    static constexpr int kNochmalMS = 50;

    static void Handler(int);
    void Lesen();
    void Schliessen();

    static int pipe_[2];
    QSocketNotifier* notifier_ = nullptr;
    QTimer* takt_ = nullptr;
};
