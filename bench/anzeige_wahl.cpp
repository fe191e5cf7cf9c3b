#include "anzeige_wahl.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern char** environ;

namespace {

pid_t Starten(const char* pfad, char** argv, posix_spawn_file_actions_t* aktionen = nullptr) {
    pid_t pid = -1;
    if (posix_spawnp(&pid, pfad, aktionen, nullptr, argv, environ) != 0) return -1;
    return pid;
}

int Warten(pid_t pid) {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid) return 1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

int Lauf(char** argv, const char* anzeige) {
    setenv("PELTO_BENCH_ANZEIGE", anzeige, 1);
    setenv("QT_QPA_PLATFORM", anzeige, 1);
    std::printf("==== window on %s ====\n", anzeige);
    std::fflush(stdout);
    return Warten(Starten("/proc/self/exe", argv));
}

// Xvfb on the first free display; its number, or -1.
int XvfbStarten(pid_t& pid) {
    int rohr[2];
    if (pipe(rohr) != 0) return -1;
    std::string fd = std::to_string(rohr[1]);
    char* args[] = {const_cast<char*>("Xvfb"), const_cast<char*>("-displayfd"), fd.data(),
                    const_cast<char*>("-screen"), const_cast<char*>("0"), const_cast<char*>("1280x1024x24"),
                    const_cast<char*>("-nolisten"), const_cast<char*>("tcp"), nullptr};
    posix_spawn_file_actions_t still;
    posix_spawn_file_actions_init(&still);
    posix_spawn_file_actions_addopen(&still, 2, "/dev/null", O_WRONLY, 0);
    pid = Starten(args[0], args, &still);
    posix_spawn_file_actions_destroy(&still);
    close(rohr[1]);
    std::string nummer;
    pollfd p{rohr[0], POLLIN, 0};
    char c = 0;
    while (pid > 0 && poll(&p, 1, 10000) == 1 && read(rohr[0], &c, 1) == 1 && c != '\n') nummer += c;
    close(rohr[0]);
    return nummer.empty() ? -1 : std::atoi(nummer.c_str());
}

}  // namespace

int AufJederAnzeige(char** argv) {
    if (std::getenv("PELTO_BENCH_ANZEIGE")) return -1;
    int rc = Lauf(argv, "offscreen");
    if (std::getenv("PELTO_BENCH_NUR_OFFSCREEN")) {
        std::printf("==== the run on a real display is left out here ====\n");
        return rc;
    }
    pid_t xvfb = -1;
    const int nummer = XvfbStarten(xvfb);
    if (nummer < 0) {
        std::printf("==== no X server (Xvfb) here: the run on a real display is left out ====\n");
    } else {
        setenv("DISPLAY", (":" + std::to_string(nummer)).c_str(), 1);
        rc |= Lauf(argv, "xcb");
    }
    if (xvfb > 0) {
        kill(xvfb, SIGTERM);
        Warten(xvfb);
    }
    return rc;
}
