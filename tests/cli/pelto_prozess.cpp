#include "pelto_prozess.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <stdexcept>

namespace {

// Standard error as a pipe, or as a pseudo-terminal whose master is read.
void Fehlerkanal(bool bTerminal, int kanal[2]) {
    if (!bTerminal) {
        if (pipe(kanal) != 0) throw std::runtime_error("pipe");
        return;
    }
    if (openpty(&kanal[0], &kanal[1], nullptr, nullptr, nullptr) != 0) throw std::runtime_error("openpty");
}

void Rechte_abgeben() {
    constexpr uid_t kNobody = 65534;
    if (getuid() != 0) return;
    if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(126);
}

}  // namespace

PeltoProzess::PeltoProzess(const std::vector<std::string>& args, const std::string& ordner, Kanal ausgabe,
                           Start start) {
    int aus[2], fehler[2];
    if (pipe(aus) != 0) throw std::runtime_error("pipe");
    Fehlerkanal(start.bFehlerTerminal, fehler);
    pid_ = fork();
    if (pid_ == 0) {
        dup2(aus[1], 1);
        dup2(fehler[1], 2);
        for (int fd : {aus[0], aus[1], fehler[0], fehler[1]}) close(fd);
        if (ausgabe == Kanal::Geschlossen) close(1);
        if (ausgabe == Kanal::Voll) dup2(open("/dev/full", O_WRONLY), 1);
        if (chdir(ordner.c_str()) != 0) _exit(127);
        if (start.bOhneRechte) Rechte_abgeben();
        std::vector<char*> argv{const_cast<char*>(PELTO_PFAD)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(PELTO_PFAD, argv.data());
        _exit(127);
    }
    close(aus[1]);
    close(fehler[1]);
    aus_ = aus[0];
    fehler_ = fehler[0];
}

PeltoProzess::~PeltoProzess() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (aus_ >= 0) close(aus_);
    if (fehler_ >= 0) close(fehler_);
}

void PeltoProzess::Signal(int nummer) const { kill(pid_, nummer); }

void PeltoProzess::Leser_gehen() {
    pollfd p{aus_, POLLIN, 0};
    poll(&p, 1, -1);
    close(aus_);
    aus_ = -1;
}

PeltoProzess::Ergebnis PeltoProzess::Warten() {
    Ergebnis e;
    pollfd fds[2] = {{aus_, POLLIN, 0}, {fehler_, POLLIN, 0}};
    std::string* ziel[2] = {&e.aus, &e.fehler};
    int offen = aus_ < 0 ? 1 : 2;
    while (offen > 0 && poll(fds, 2, -1) > 0) {
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP))) continue;
            char puffer[4096];
            const ssize_t n = read(fds[i].fd, puffer, sizeof puffer);
            if (n > 0) {
                ziel[i]->append(puffer, static_cast<std::size_t>(n));
            } else {
                fds[i].fd = -1;
                --offen;
            }
        }
    }
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    e.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return e;
}

PeltoProzess::Ergebnis PeltoProzess::Lauf(const std::vector<std::string>& args, const std::string& ordner,
                                           Kanal aus, Start start) {
    PeltoProzess p(args, ordner, aus, start);
    if (aus == Kanal::LeserGeht) p.Leser_gehen();
    return p.Warten();
}
