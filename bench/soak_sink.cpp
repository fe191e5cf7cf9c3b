#include "bench/soak_sink.h"

#include "common/fehler.h"
#include "common/pane_flags.h"
#include "link/keloCOMv1.h"

SoakSink::SoakSink(TkeloCOM& link, SoakVerlauf& verlauf)
    : RoutinenSink(link, szBefehl_, sizeof szBefehl_), verlauf_(verlauf) {}

void SoakSink::Neu() {
    antworten_.clear();
    iFehler_ = 0;
    bProgrammtextOffen_ = false;
}

void SoakSink::Zeile(const std::string& text, Zeilenart art) {
    ++zeilen_;
    if (art == Zeilenart::Fehler || art == Zeilenart::Hinweis) verlauf_.Ereignis(text);
}

void SoakSink::Protokoll_schreiben(bool, bool bAnfrage, bool bAntwort) {
    zeilen_ += unsigned(bAnfrage) + unsigned(bAntwort);
    if (!bAntwort) return;
    antworten_.emplace_back(Link().Antwort());
    verlauf_.Antwort(antworten_.back());
}

void SoakSink::Befehl_beenden(int32_t iFehler) {
    // As the window does: what the routine is still owed is stale now.
    Link().Abbrechen();
    iFehler_ = iFehler;
    const char* name = Fehlername_holen(iFehler);
    verlauf_.Ereignis("error " + std::to_string(iFehler) + (name ? std::string(" ") + name : std::string()));
}

// The window's drive mode after its start: only "T1" goes before the body.
void SoakSink::Einstellungen_senden() {
    try {
        Link().Ansteuersignale_einstellen(1);
        Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kAntwort);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}
