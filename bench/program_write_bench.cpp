// The window writes the test body into a slot against the simulated
// controller: elapsed time against the wire time of the bytes exchanged, the
// window thread's CPU time per exchange, the turnaround per line next to a
// bare client's, the window's event-loop lateness meanwhile, the delay from
// pressing "Achsen sofort stoppen" to "@S" reaching the controller, and the
// log pane's memory and append time as it grows. Run without
// PELTO_BENCH_ANZEIGE, it runs itself once offscreen and once on a real X
// server (Xvfb, when installed).
#include <malloc.h>
#include <sys/resource.h>
#include <time.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "anzeige_wahl.h"
#include "routinen/default_files.h"
#include "app/log_pane.h"
#include "app/radio_group.h"
#include "sim/raw_serial_client.h"
#include "support/konsole.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Lauf {
    int baud;
    bool paced;
    int zeilen;
    int adapterMs = 0;  // a USB adapter's latency timer between the two; 0: none
    double sekunden = 0;
    double drahtSekunden = 0;
    std::vector<double> verspaetungMs{};
    double fensterCpuSekunden = 0;
    double taktCpuProSekunde = 0;
    long fensterAufwachen = 0;  // the lateness timer's own cost on the window thread
    std::vector<double> wendeUs{};  // controller's reply to the next request, per line
};

long ThreadAufwachen() {
    rusage r {};
    getrusage(RUSAGE_THREAD, &r);
    return r.ru_nvcsw;
}

double ThreadCpuSekunden() {
    timespec t {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

std::vector<double> WendenUs(const sim::SimServer& s, size_t ab) {
    std::vector<double> us;
    const auto alle = s.Turnarounds();
    for (size_t i = ab; i < alle.size(); ++i) us.push_back(double(alle[i].count()) * 1e-3);
    return us;
}

// How late a 5 ms timer fires while the window is busy.
class Taktmesser {
public:
    explicit Taktmesser(std::vector<double>& ziel) : ziel_(ziel) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(kTaktMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const auto jetzt = Clock::now();
            const double ms = std::chrono::duration<double, std::milli>(jetzt - zuletzt_).count();
            ziel_.push_back(std::max(0.0, ms - kTaktMs));
            zuletzt_ = jetzt;
        });
        zuletzt_ = Clock::now();
        timer_.start();
    }

private:
    static constexpr int kTaktMs = 5;
    QTimer timer_;
    Clock::time_point zuletzt_;
    std::vector<double>& ziel_;
};

void Baud_waehlen(Konsole& k, int baud) {
    QComboBox* box = k.Form().Baudrate_ComboBox;
    const int index = box->findText(QString::number(baud));
    box->setCurrentIndex(index);
    emit box->activated(index);
    k.Leerlauf();
}

std::string LetzteZeile(TMainForm& f) { return f.RichEdit->document()->lastBlock().text().toStdString(); }

void Programm_schreiben(Lauf& lauf) {
    KonsolenStart start;
    start.sim.pace = lauf.paced;
    start.sim.adapter = std::chrono::milliseconds(lauf.adapterMs);
    Konsole k(start);
    TMainForm& f = k.Form();
    if (lauf.baud != 115200) Baud_waehlen(k, lauf.baud);
    auto body = Testprogramm_Zeilen();
    body.resize(static_cast<size_t>(lauf.zeilen));
    std::ofstream(k.Ordner().File("programm3.txt"), std::ios::binary) << MitCrLf(body);
    std::ofstream(k.Ordner().File("header3.txt"), std::ios::binary) << MitCrLf(Testheader_Zeilen());
    RadioGroup_SetItemIndex(f.Programm_RadioGroup, 2);
    const auto vorher = k.Sim().LineBytes();
    // The first turnaround after the click spans the wait before it.
    const size_t wendenVorher = k.Sim().Turnarounds().size() + 1;
    Taktmesser takt(lauf.verspaetungMs);
    double cpu0 = ThreadCpuSekunden();
    QTest::qWait(500);
    lauf.taktCpuProSekunde = (ThreadCpuSekunden() - cpu0) * 2;
    lauf.verspaetungMs.clear();
    cpu0 = ThreadCpuSekunden();
    const long aufwachen0 = ThreadAufwachen();
    const auto t0 = Clock::now();
    QEventLoop warten;
    QObject::connect(f.RichEdit, &QPlainTextEdit::textChanged, &warten, [&] {
        if (LetzteZeile(f).rfind("### Programm 3 schreiben - ", 0) == 0) warten.quit();
    });
    k.Klick(f.ProgrammSchreiben_Button);
    warten.exec();
    lauf.sekunden = std::chrono::duration<double>(Clock::now() - t0).count();
    lauf.fensterCpuSekunden = ThreadCpuSekunden() - cpu0;
    lauf.fensterAufwachen = ThreadAufwachen() - aufwachen0;
    lauf.wendeUs = WendenUs(k.Sim(), wendenVorher);
    const auto nachher = k.Sim().LineBytes();
    lauf.drahtSekunden = double(nachher.in + nachher.out - vorher.in - vorher.out) * 10.0 / lauf.baud;
    k.Leerlauf();
}

// The same exchange by a bare client without the console: what the
// simulated wire itself costs beyond the wire time.
void Bloss_schreiben(Lauf& lauf) {
    sim::SimOptions o;
    o.pace = true;
    sim::SimServer s(o);
    s.Start();
    sim::RawSerialClient c(s.DevicePath(), static_cast<unsigned>(lauf.baud));
    auto body = Testprogramm_Zeilen();
    body.resize(static_cast<size_t>(lauf.zeilen));
    const auto t0 = Clock::now();
    c.Ask("*PW3\r");
    c.Send(Testheader_Zeilen()[0]);
    c.Ask("\x02");
    for (const auto& z : body) c.Ask(z + "\r");
    c.Ask("\x03");
    lauf.sekunden = std::chrono::duration<double>(Clock::now() - t0).count();
    lauf.wendeUs = WendenUs(s, 0);
    const auto b = s.LineBytes();
    lauf.drahtSekunden = double(b.in + b.out) * 10.0 / lauf.baud;
}

double Perzentil(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<size_t>(p * double(v.size())))];
}

// From the click on "Achsen sofort stoppen" during a move to "@S" CR
// complete at the controller, paced at 115200 baud.
double Stopp_Verzoegerung_ms() {
    KonsolenStart start;
    start.sim.pace = true;
    Konsole k(start);
    TMainForm& f = k.Form();
    f.VektorX_Edit->setText("9999999");
    k.Klick(f.xyzVektorFahren_Button);
    const auto bis = Clock::now() + std::chrono::seconds(5);
    while (k.Sim().Status().rfind('M', 0) != 0 && Clock::now() < bis) QApplication::processEvents();
    const auto klick = Clock::now();
    k.Klick(f.Stoppen_Button);
    const auto ankunft = k.Sim().LastArrival("@S\r");
    k.Leerlauf();
    if (!ankunft) return -1;
    return std::chrono::duration<double, std::milli>(*ankunft - klick).count();
}

void Ausgeben(const Lauf& l, const char* ziel) {
    if (l.paced) {
        std::printf("  %6d baud, %4d lines: %7.2f s for %7.2f s of wire time: ratio %.3f (goal <= %s)\n", l.baud,
                    l.zeilen, l.sekunden, l.drahtSekunden, l.sekunden / l.drahtSekunden, ziel);
    } else {
        std::printf("  unpaced,     %4d lines: %7.2f s: %.0f lines/s\n", l.zeilen, l.sekunden,
                    l.zeilen / l.sekunden);
    }
}

// The simulated line has costs of its own (its thread wakes late): a bare
// client on the same simulator shows them, and the console's own share.
void Vergleichen(const Lauf& konsole, const Lauf& bloss) {
    const double r = bloss.sekunden / bloss.drahtSekunden;
    std::printf("    bare client, same simulator and exchange: ratio %.3f; the console's own share: %.3f\n", r,
                (konsole.sekunden / konsole.drahtSekunden) / r);
}

void Wenden_ausgeben(const char* wer, const std::vector<double>& us) {
    double summe = 0;
    for (double u : us) summe += u;
    const auto ueber1ms = std::count_if(us.begin(), us.end(), [](double u) { return u > 1000; });
    std::printf("    %-12s median %6.1f us, 99th percentile %7.1f us, sum %6.3f s, over 1 ms: %ld of %zu\n", wer,
                Perzentil(us, 0.5), Perzentil(us, 0.99), summe * 1e-6, long(ueber1ms), us.size());
}

void Fenster_ausgeben(const Lauf& l, const Lauf& bloss) {
    std::printf("    window thread CPU: %.3f s, %.1f us per exchange (goal <= 20); of it the 5 ms lateness timer "
                "alone: %.1f us\n",
                l.fensterCpuSekunden, l.fensterCpuSekunden * 1e6 / l.zeilen,
                l.taktCpuProSekunde * l.sekunden * 1e6 / l.zeilen);
    std::printf("    window thread wake-ups: %ld, %.1f per second (the lateness timer alone: 200)\n",
                l.fensterAufwachen, double(l.fensterAufwachen) / l.sekunden);
    std::printf("    turnaround per line, from the controller's reply to the next request (simulator's stamps):\n");
    Wenden_ausgeben("console:", l.wendeUs);
    Wenden_ausgeben("bare client:", bloss.wendeUs);
}

// The log pane as ten writes of the test body would leave it uncleared:
// request and reply per line, put in 50 at a time (25 ms at 115200 baud),
// each batch painted. Heap in use and time per line after each write.
void Pane_wachsen(int zeilen, bool begrenzt) {
    Konsole k;
    LogPane& log = k.Form().Log();
    if (!begrenzt) k.Form().RichEdit->setMaximumBlockCount(0);
    QApplication::processEvents();
    const auto body = Testprogramm_Zeilen();
    const size_t heap0 = mallinfo2().uordblks;
    std::printf("  %s:\n", begrenzt ? "as kept (at most 100000 lines)" : "without a bound");
    for (int w = 1; w <= 10; ++w) {
        std::vector<double> usProZeile;
        for (int i = 0; i < zeilen; i += 50) {
            const auto t0 = Clock::now();
            for (int j = i; j < std::min(zeilen, i + 50); ++j) {
                log.Farbe(kSchwarz);
                log.Zeile(body[size_t(j) % body.size()] + "<CR>");
                log.Farbe(kBlau);
                log.Zeile("<ACK>");
            }
            log.Ausgeben();
            QApplication::processEvents();
            usProZeile.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count() / 100);
        }
        if (w == 1 || w == 5 || w == 10)
            std::printf("    after write %2d: %6d lines, heap %6.1f MiB, %.2f us per line (median of the write)\n", w,
                        k.Form().RichEdit->document()->blockCount(),
                        double(mallinfo2().uordblks - heap0) / (1 << 20), Perzentil(usProZeile, 0.5));
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int rc = AufJederAnzeige(argv);
    if (rc >= 0) return rc;
    const bool kurz = argc > 1 && std::strcmp(argv[1], "--short") == 0;
    QApplication app(argc, argv);
    const int alle = 6553;
    Lauf schnell{115200, true, kurz ? 400 : alle};
    Lauf langsam{9600, true, kurz ? 40 : alle};
    Lauf frei{115200, false, kurz ? 400 : alle};
    Lauf bloss{115200, true, schnell.zeilen};
    Lauf adapter16{115200, true, schnell.zeilen, 16};
    Lauf adapter1{115200, true, schnell.zeilen, 1};
    Lauf blossLangsam{9600, true, langsam.zeilen};
    Bloss_schreiben(bloss);
    Bloss_schreiben(blossLangsam);
    Programm_schreiben(schnell);
    rusage r {};
    getrusage(RUSAGE_SELF, &r);
    Programm_schreiben(langsam);
    Programm_schreiben(frei);
    Programm_schreiben(adapter16);
    Programm_schreiben(adapter1);
    const double stopp = Stopp_Verzoegerung_ms();

    std::printf("program write of the test body (header \"%s\"), log pane on, simulator paced both ways\n",
                Testheader_Zeilen()[0].c_str());
    Ausgeben(schnell, "1.05");
    Vergleichen(schnell, bloss);
    Fenster_ausgeben(schnell, bloss);
    Ausgeben(langsam, "1.02");
    Vergleichen(langsam, blossLangsam);
    Ausgeben(frei, "-");
    std::printf("behind a USB-serial adapter at 115200 baud (its latency timer holds each reply):\n");
    for (const Lauf* l : {&adapter16, &adapter1, &schnell})
        std::printf("  %-13s %7.2f s for %6.2f s of wire time: ratio %.2f\n",
                    l->adapterMs ? ("timer " + std::to_string(l->adapterMs) + " ms:").c_str() : "no adapter:",
                    l->sekunden, l->drahtSekunden, l->sekunden / l->drahtSekunden);
    std::printf("window event-loop lateness of a 5 ms timer during the 115200 write: median %.2f ms, "
                "99th percentile %.2f ms (goal < 50)\n",
                Perzentil(schnell.verspaetungMs, 0.5), Perzentil(schnell.verspaetungMs, 0.99));
    std::printf("\"Achsen sofort stoppen\" during a move to \"@S<CR>\" at the controller: %.2f ms (goal <= 5)\n",
                stopp);
    std::printf("peak resident memory after the 115200 write (%d lines in the pane): %.1f MiB\n",
                2 * schnell.zeilen + 8, r.ru_maxrss / 1024.0);
    std::printf("log pane after ten writes of %d lines each without clearing:\n", schnell.zeilen);
    Pane_wachsen(schnell.zeilen, true);
    if (!kurz) Pane_wachsen(schnell.zeilen, false);
    return 0;
}
