#include "app/signal_schliessen.h"

#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QTimer>
#include <QSocketNotifier>
#include <csignal>

int SignalSchliessen::pipe_[2] = {-1, -1};

SignalSchliessen::SignalSchliessen(QObject* parent) : QObject(parent) {
    if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    takt_ = new QTimer(this);
    takt_->setInterval(kNochmalMS);
    connect(takt_, &QTimer::timeout, this, &SignalSchliessen::Schliessen);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalSchliessen::Lesen);
    struct sigaction sa {};
    sa.sa_handler = &SignalSchliessen::Handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &sa, nullptr);
}

SignalSchliessen::~SignalSchliessen() {
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) std::signal(sig, SIG_DFL);
    for (int& fd : pipe_) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

void SignalSchliessen::Handler(int) {
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(pipe_[1], &c, 1);
}

void SignalSchliessen::Lesen() {
    char puffer[16];
    while (::read(pipe_[0], puffer, sizeof puffer) > 0) {
    }
    Schliessen();
    takt_->start();
}

// An open box would hold the close back: it is answered as by Escape. The
// windows close when no box is open; until the program has ended, this is
// tried again, since a box's caller may open the next one, or the window
// may not be shown yet.
void SignalSchliessen::Schliessen() {
    if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        box->reject();
        return;
    }
    QApplication::closeAllWindows();
}
