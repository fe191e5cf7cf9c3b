#include "app/fenster_sink.h"

#include "app/log_pane.h"
#include "app/pelto_befehle_main.h"
#include "routinen/routinenrahmen.h"

FensterSink::FensterSink(TMainForm& f) : RoutinenSink(f.Link(), f.szBefehl, sizeof f.szBefehl), f_(f) {}

void FensterSink::Leeren() { f_.LogLeeren(); }

void FensterSink::Zeile(const std::string& text, Zeilenart art) {
    static constexpr uint32_t kFarben[] = {kSchwarz, kBlau, kRot, kGrau, kGrau};
    f_.LogZeile(text, kFarben[static_cast<int>(art)]);
}

void FensterSink::Protokoll_schreiben(bool bLoeschen, bool bAnfrage, bool bAntwort) {
    f_.Protokoll_schreiben(bLoeschen, bAnfrage, bAntwort);
}

void FensterSink::Befehl_beenden(int32_t iFehler) { f_.Befehl_beenden(iFehler); }
void FensterSink::Einstellungen_senden() { f_.Kovra_Befehl(false); }

void Fensterroutine(TMainForm& f, const std::function<void(RoutinenSink&)>& routine) {
    FensterSink s(f);
    Routine_ausfuehren(s, [&] { routine(s); });
}
