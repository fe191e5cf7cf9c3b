// The window (offscreen) writes the test body into a slot against the
// simulated controller: elapsed time against the wire time of the bytes
// exchanged, the window's event-loop lateness meanwhile, the delay from
// pressing "Achsen sofort stoppen" to "@S" reaching the controller, and the
// peak resident memory.
#include <sys/resource.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "app/files/default_files.h"
#include "app/radio_group.h"
#include "sim/raw_serial_client.h"
#include "support/konsole.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Lauf {
    int baud;
    bool paced;
    int zeilen;
    double sekunden = 0;
    double drahtSekunden = 0;
    std::vector<double> verspaetungMs;
};

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
    Konsole k(start);
    TMainForm& f = k.Form();
    if (lauf.baud != 115200) Baud_waehlen(k, lauf.baud);
    auto body = Testprogramm_Zeilen();
    body.resize(static_cast<size_t>(lauf.zeilen));
    std::ofstream(k.Ordner().File("programm3.txt"), std::ios::binary) << MitCrLf(body);
    std::ofstream(k.Ordner().File("header3.txt"), std::ios::binary) << MitCrLf(Testheader_Zeilen());
    RadioGroup_SetItemIndex(f.Programm_RadioGroup, 2);
    const auto vorher = k.Sim().LineBytes();
    Taktmesser takt(lauf.verspaetungMs);
    const auto t0 = Clock::now();
    QEventLoop warten;
    QObject::connect(f.RichEdit, &QPlainTextEdit::textChanged, &warten, [&] {
        if (LetzteZeile(f).rfind("### Programm 3 schreiben - ", 0) == 0) warten.quit();
    });
    k.Klick(f.ProgrammSchreiben_Button);
    warten.exec();
    lauf.sekunden = std::chrono::duration<double>(Clock::now() - t0).count();
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

}  // namespace

int main(int argc, char** argv) {
    const bool kurz = argc > 1 && std::strcmp(argv[1], "--short") == 0;
    QApplication app(argc, argv);
    const int alle = 6553;
    Lauf schnell{115200, true, kurz ? 400 : alle, 0, 0, {}};
    Lauf langsam{9600, true, kurz ? 40 : alle, 0, 0, {}};
    Lauf frei{115200, false, kurz ? 400 : alle, 0, 0, {}};
    Lauf bloss{115200, true, schnell.zeilen, 0, 0, {}};
    Lauf blossLangsam{9600, true, langsam.zeilen, 0, 0, {}};
    Bloss_schreiben(bloss);
    Bloss_schreiben(blossLangsam);
    Programm_schreiben(schnell);
    rusage r {};
    getrusage(RUSAGE_SELF, &r);
    Programm_schreiben(langsam);
    Programm_schreiben(frei);
    const double stopp = Stopp_Verzoegerung_ms();

    std::printf("program write of the test body (header \"%s\"), log pane on, simulator paced both ways\n",
                Testheader_Zeilen()[0].c_str());
    Ausgeben(schnell, "1.05");
    Vergleichen(schnell, bloss);
    Ausgeben(langsam, "1.02");
    Vergleichen(langsam, blossLangsam);
    Ausgeben(frei, "-");
    std::printf("window event-loop lateness of a 5 ms timer during the 115200 write: median %.2f ms, "
                "99th percentile %.2f ms (goal < 50)\n",
                Perzentil(schnell.verspaetungMs, 0.5), Perzentil(schnell.verspaetungMs, 0.99));
    std::printf("\"Achsen sofort stoppen\" during a move to \"@S<CR>\" at the controller: %.2f ms (goal <= 5)\n",
                stopp);
    std::printf("peak resident memory after the 115200 write (%d lines in the pane): %.1f MiB\n",
                2 * schnell.zeilen + 8, r.ru_maxrss / 1024.0);
    return 0;
}
