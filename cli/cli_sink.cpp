#include "cli/cli_sink.h"

#include "cli/exitstatus.h"
#include "cli/json_text.h"
#include "common/pane_flags.h"
#include "common/steuerzeichen.h"
#include "link/keloCOMv1.h"

namespace {

// The drive mode of the window after its start ("T/R"): only the mode goes
// out before the program body.
constexpr int8_t kAnsteuersignal = 1;

}  // namespace

CliSink::CliSink(TkeloCOM& link, Ausgabe art, Ausgabekanal& aus, std::FILE* fehler)
    : RoutinenSink(link, szBefehl_, sizeof szBefehl_), art_(art), aus_(aus), fehler_(fehler), uhr_(std::chrono::steady_clock::now()) {}

void CliSink::Uhr_stellen() { uhr_ = std::chrono::steady_clock::now(); }

double CliSink::Verstrichen() {
    const auto jetzt = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::milli>(jetzt - uhr_).count();
}

void CliSink::Platz_machen(bool bStandardausgabe) {
    if (fortschritt_ && (!bStandardausgabe || bAusgabeTeilt_)) fortschritt_->Wegnehmen();
}

void CliSink::Zeilen_erwartet(std::size_t n) {
    if (fortschritt_) fortschritt_->Erwartet(n);
}

void CliSink::Zeile_fertig() {
    if (fortschritt_) fortschritt_->Fertig();
}

void CliSink::Zeile(const std::string& text, Zeilenart art) {
    Platz_machen(art != Zeilenart::Hinweis);
    if (art == Zeilenart::Hinweis)
        std::fprintf(fehler_, "pelto: %s\n", text.c_str());
    else if (art_ == Ausgabe::Text)
        aus_.Zeile(text);
}

void CliSink::Programmtext_offen() {
    Platz_machen(false);
    std::fprintf(fehler_,
                 "pelto: the controller may still be taking program text; 'pelto reset', or switching it off and on, "
                 "brings it back\n");
}

// The command's own exchange: the stop sent by the signal thread never mixes in.
std::pair<std::string, std::string> CliSink::Puffer() { return {Link().Anfrage(), Link().Antwort()}; }

// Nothing moves while program text goes out, and a controller that keeps
// text as text would store the stop as a program line: the interrupt only
// ends the sending then.
void CliSink::Stoppen(TkeloCOM& unterbrecher) {
    if (bImProgrammtext_) return;
    try {
        unterbrecher.Achsen_stoppen();
    } catch (int&) {
        // Nothing more can be done on a line that does not answer.
    }
}

void CliSink::Protokoll_schreiben(bool, bool bAnfrage, bool bAntwort) {
    const auto [anfrage, antwort] = Puffer();
    Austausch a{Dargestellt(anfrage.c_str()), Dargestellt(antwort.c_str()), bAnfrage, bAntwort, Verstrichen(), {}};
    if (bAntwort) {
        antworten_.push_back(antwort);
        if (const int32_t e = Controllerfehler(antwort.c_str())) {
            a.fehler = e;
            if (!iFehlerantwort_) iFehlerantwort_ = e;
        }
    }
    Offen_ausgeben();
    if (art_ == Ausgabe::Text) Zeigen(a);
    letzter_ = std::move(a);
    bLetzterOffen_ = art_ == Ausgabe::Json;
    Uhr_stellen();
}

void CliSink::Befehl_beenden(int32_t iFehler) {
    // The command is over: an answer still owed to it must not block the link.
    Link().Abbrechen();
    // A wait that ended without a reply leaves the previous one in szResp.
    const auto [anfrage, antwort] = Puffer();
    Austausch a{Dargestellt(anfrage.c_str()), Dargestellt(antwort.c_str()), true, !Wartefehler(iFehler), Verstrichen(),
                iFehler};
    const bool bGezeigt = letzter_ && letzter_->anfrage == a.anfrage && (!a.bAntwort || letzter_->antwort == a.antwort);
    if (bGezeigt && bLetzterOffen_) {
        letzter_->fehler = iFehler;
    } else if (!bGezeigt || art_ == Ausgabe::Json) {
        Offen_ausgeben();
        if (art_ == Ausgabe::Text) Zeigen(a);
        letzter_ = std::move(a);
        bLetzterOffen_ = art_ == Ausgabe::Json;
    }
    Fehler_melden(iFehler);
}

void CliSink::Fehler_melden(int32_t iFehler) {
    if (Abgebrochen()) return;
    Platz_machen(false);
    std::fprintf(fehler_, "pelto: %s\n", Fehlermeldung(iFehler).c_str());
}

void CliSink::Einstellungen_senden() {
    try {
        Link().Ansteuersignale_einstellen(kAnsteuersignal);
        Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kAntwort);
    } catch (int& e) {
        Befehl_beenden(e);
    }
}

void CliSink::Zeigen(const Austausch& a) {
    if (!bAustauscheZeigen_) return;
    Platz_machen(true);
    if (art_ == Ausgabe::Text) {
        if (a.bAnfrage) aus_.Zeile(a.anfrage);
        if (a.bAntwort) aus_.Zeile(a.antwort);
        return;
    }
    char ms[32];
    std::snprintf(ms, sizeof ms, "%.1f", a.ms);
    std::string o = "{\"request\":" + JsonText(a.anfrage) + ",\"reply\":" + (a.bAntwort ? JsonText(a.antwort) : "null") +
                    ",\"ms\":" + ms;
    if (!a.bAnfrage) o += ",\"final\":true";
    if (a.fehler) o += ",\"error\":" + JsonText(Fehlername(*a.fehler));
    aus_.Zeile(o + "}");
}

void CliSink::Offen_ausgeben() {
    if (bLetzterOffen_ && letzter_) Zeigen(*letzter_);
    bLetzterOffen_ = false;
}

void CliSink::Abschluss(int iStatus, int32_t iFehler, bool bUnterbrochen) {
    Offen_ausgeben();
    if (art_ == Ausgabe::Still && iStatus == kExitOk)
        for (const std::string& z : ergebnis_) aus_.Zeile(z);
    if (art_ != Ausgabe::Json) return;
    std::string o = "{\"outcome\":";
    o += bUnterbrochen ? "\"interrupted\"" : iStatus == kExitOk ? "\"ok\"" : "\"error\"";
    o += ",\"exit\":" + std::to_string(iStatus);
    if (iFehler) o += ",\"error\":" + JsonText(Fehlername(iFehler)) + ",\"code\":" + std::to_string(iFehler);
    if (!ergebnis_.empty() && iStatus == kExitOk) {
        o += ",\"result\":[";
        for (std::size_t i = 0; i < ergebnis_.size(); ++i) o += (i ? "," : "") + JsonText(ergebnis_[i]);
        o += "]";
    }
    aus_.Zeile(o + "}");
}
