#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bench/soak_verlauf.h"
#include "routinen/routinen_sink.h"

// The soak's face on the routines: it keeps what a routine showed (pane
// lines, replies, the error it ended with) for the checks, and the last
// exchanges for a failure report.
class SoakSink : public RoutinenSink {
public:
    SoakSink(TkeloCOM& link, SoakVerlauf& verlauf);

    // Forgets the last routine's lines, replies and error.
    void Neu();
    void Leeren() override { ++zeilen_; }
    void Zeile(const std::string& text, Zeilenart art) override;
    void Protokoll_schreiben(bool bLoeschen, bool bAnfrage, bool bAntwort) override;
    void Befehl_beenden(int32_t iFehler) override;
    void Einstellungen_senden() override;
    void Programmtext_offen() override { bProgrammtextOffen_ = true; }

    // The replies shown since Neu(), raw.
    const std::vector<std::string>& Antworten() const { return antworten_; }
    int32_t Fehler() const { return iFehler_; }
    bool ProgrammtextOffen() const { return bProgrammtextOffen_; }
    uint64_t Zeilen() const { return zeilen_; }

private:
    SoakVerlauf& verlauf_;
    char szBefehl_[260] = {};
    std::vector<std::string> antworten_;
    int32_t iFehler_ = 0;
    bool bProgrammtextOffen_ = false;
    uint64_t zeilen_ = 0;
};
