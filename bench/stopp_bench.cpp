// From a click on "Achsen sofort stoppen" in the window to "@S" CR complete
// at the controller, while the worker is busy, in the states that once held
// Stop back: a reference request awaiting its first answer (which the
// controller withholds) and a move awaiting its final answer. The controller
// is paced at 115200 baud, so "@S" CR itself takes about 0.3 ms on the line.
// Each click ends the worker's routine ("!"), so each is preceded by a new
// one. Prints the median and the maximum per state.
#include <QApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <vector>

#include "support/konsole.h"

namespace {

using Clock = std::chrono::steady_clock;

bool Warten_bis(const std::function<bool()>& bedingung, std::chrono::milliseconds bis) {
    const auto ende = Clock::now() + bis;
    while (!bedingung()) {
        if (Clock::now() > ende) return false;
        QApplication::processEvents();
    }
    return true;
}

// One click: the routine is started and has reached its wait; the delay
// from the click to "@S" at the controller, in ms (-1: it never came).
double Klick(Konsole& k, const std::function<void()>& starten, const std::function<bool()>& wartet) {
    starten();
    if (!Warten_bis(wartet, std::chrono::seconds(5))) return -1;
    const auto klick = Clock::now();
    k.Form().Stoppen_ButtonClick();
    std::optional<sim::SimTime> an;
    Warten_bis([&] { return (an = k.Sim().LastArrival("@S\r")) && *an >= klick; }, std::chrono::seconds(3));
    k.Leerlauf();
    if (!an || *an < klick) return -1;
    return std::chrono::duration<double, std::milli>(*an - klick).count();
}

void Ausgeben(const char* zustand, std::vector<double> ms) {
    std::sort(ms.begin(), ms.end());
    const size_t fehlend = static_cast<size_t>(std::count(ms.begin(), ms.end(), -1.0));
    std::printf("%s: %zu clicks, median %.2f ms, maximum %.2f ms, never arrived %zu\n", zustand, ms.size(),
                ms[ms.size() / 2], ms.back(), fehlend);
}

std::vector<double> Referenzanforderung(int klicks) {
    KonsolenStart start;
    start.sim.pace = true;
    Konsole k(start);
    TMainForm& f = k.Form();
    f.RefX_CheckBox->setChecked(true);
    f.RefY_CheckBox->setChecked(false);
    f.RefZ_CheckBox->setChecked(false);
    f.RefU_CheckBox->setChecked(false);
    k.Sim().AddRule({"#Hx\r", {}, klicks});  // its first answer never comes
    std::vector<double> ms;
    for (int i = 0; i < klicks; ++i) {
        const size_t vorher = k.Sim().RuledRequests().size();
        ms.push_back(Klick(
            k, [&] { f.RefAnforderung_ButtonClick(); },
            [&] { return k.Sim().RuledRequests().size() > vorher; }));
    }
    return ms;
}

std::vector<double> Fahrt(int klicks) {
    KonsolenStart start;
    start.sim.pace = true;
    Konsole k(start);
    TMainForm& f = k.Form();
    f.VektorX_Edit->setText("9999999");
    std::vector<double> ms;
    for (int i = 0; i < klicks; ++i)
        ms.push_back(Klick(
            k, [&] { k.Klick(f.xyzVektorFahren_Button); },
            [&] { return k.Sim().Status().rfind('M', 0) == 0; }));
    return ms;
}

}  // namespace

int main(int argc, char** argv) {
    const bool kurz = argc > 1 && std::strcmp(argv[1], "--short") == 0;
    QApplication app(argc, argv);
    const int klicks = kurz ? 5 : 120;
    Ausgeben("\"Achsen sofort stoppen\" while a reference request awaits its first answer", Referenzanforderung(klicks));
    Ausgeben("\"Achsen sofort stoppen\" while a move awaits its final answer", Fahrt(klicks));
    return 0;
}
