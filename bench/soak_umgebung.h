#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "bench/soak_abgleich.h"
#include "bench/soak_fenster.h"
#include "bench/soak_optionen.h"
#include "bench/soak_programm.h"
#include "bench/soak_sink.h"
#include "bench/soak_stockungen.h"
#include "bench/soak_verlauf.h"
#include "common/dialog.h"
#include "link/keloCOMv1.h"
#include "link/leitungsbeobachter.h"
#include "sim/sim_server.h"

// Message boxes of a soak run are counted, not shown.
class SoakDialoge : public Dialogs {
public:
    int ShowMessage(const std::string& text, const std::string&, MessageIcon) override;
    std::atomic<uint64_t> anzahl{0};
};

struct SoakUmgebung;

// Every request the link writes goes to the run's record and its comparison
// with what the simulator receives.
class SoakBeobachter : public TLeitungsbeobachter {
public:
    explicit SoakBeobachter(SoakUmgebung& u) : u_(u) {}
    void Gesendet(const char* bytes, std::size_t n, bool bOhneAntwort) override;

private:
    SoakUmgebung& u_;
};

// Everything a soak run works with: the simulator, the line with its two
// senders (the window's and the worker's) and their sinks, the window's
// thread, the folder with the files, and the record of the run.
struct SoakUmgebung {
    explicit SoakUmgebung(const SoakOptionen& o);
    ~SoakUmgebung();
    // UnInit, Init on the simulator's present terminal, Connect: the "Ini".
    void Ini();
    std::string Pfad(const std::string& datei) const { return ordner + "/" + datei; }

    SoakOptionen optionen;
    std::string ordner;
    SoakDialoge dialoge;
    SoakVerlauf verlauf;
    SoakAbgleich abgleich;
    sim::SimServer sim;
    SoakBeobachter beobachter{*this};  // outlives the line
    TkeloCOM fensterLink;  // the line's first sender: it shuts the line down
    std::unique_ptr<TkeloCOM> arbeiterLink;
    SoakSink fenster, arbeiter;
    SoakFenster fensterThread;
    std::atomic<uint64_t> fahrten{0};  // moves and reference runs written
    std::atomic<std::chrono::steady_clock::time_point> sofortGeschrieben{};  // the last "@S" or "@B"
    // What each slot holds, as far as the soak wrote it without a fault.
    std::array<std::optional<SoakProgramm>, 8> erwartet;
    bool streng = false;  // a strict spell: the controller keeps header text as text
    SoakStockungen stockungen;
};
