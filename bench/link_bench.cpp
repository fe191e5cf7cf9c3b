// Round trips of a one-line request answered by a lone ACK: through the
// link's SendReqWaitResp, and as a bare write/read ping-pong on the same
// kind of terminal, side by side in one run.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/bench_peer.h"
#include "common/protokolldatei.h"
#include "link/keloCOMv1.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr const char* kAnfrage = "#S200\r";

double Sekunden(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

double BareRate(int runden) {
    AckPeer peer;
    const int fd = OpenRaw(peer.SlavePath());
    const size_t len = std::strlen(kAnfrage);
    char c;
    const auto t0 = Clock::now();
    for (int i = 0; i < runden; ++i) {
        if (::write(fd, kAnfrage, len) != static_cast<ssize_t>(len) || ::read(fd, &c, 1) != 1) std::abort();
    }
    const double s = Sekunden(t0);
    ::close(fd);
    return runden / s;
}

double LinkRate(int runden) {
    AckPeer peer;
    ::setenv("PELTO_COM1", peer.SlavePath().c_str(), 1);
    TkeloCOM com;
    com.Init(1, 115200);
    const auto t0 = Clock::now();
    for (int i = 0; i < runden; ++i) com.SendReqWaitResp(kAnfrage, 1000);
    const double s = Sekunden(t0);
    com.UnInit();
    return runden / s;
}

}  // namespace

int main(int argc, char** argv) {
    const bool kurz = argc > 1 && std::strcmp(argv[1], "--short") == 0;
    const int runden = kurz ? 500 : 20000;
    const int durchgaenge = kurz ? 1 : 5;
    char tmp[] = "/tmp/pelto-bench-XXXXXX";
    Protokolldatei_Ordner_setzen(::mkdtemp(tmp));
    double bestBare = 0, bestLink = 0;
    for (int d = 0; d < durchgaenge; ++d) {
        const double bare = BareRate(runden);
        const double link = LinkRate(runden);
        bestBare = std::max(bestBare, bare);
        bestLink = std::max(bestLink, link);
    }
    std::printf("link round trips: request \"#S200<CR>\", reply <ACK>, %d rounds, best of %d\n", runden, durchgaenge);
    std::printf("  bare ping-pong   %10.0f round trips/s\n", bestBare);
    std::printf("  SendReqWaitResp  %10.0f round trips/s\n", bestLink);
    std::printf("  cost ratio (link/bare time per round trip): %.2f  (goal <= 1.50)\n", bestBare / bestLink);
    return 0;
}
