#pragma once

#include "routinen/transfer_sink.h"

class TMainForm;

// The window as the transfer routines see it: its log pane, its request
// buffer, its drive settings and the link it uses.
class FensterSink : public TransferSink {
public:
    explicit FensterSink(TMainForm& f);

    void Leeren() override;
    void Zeile(const std::string& text, Zeilenart art) override;
    void Protokoll_schreiben(bool bLoeschen, bool bAnfrage, bool bAntwort) override;
    void Befehl_beenden(int32_t iFehler) override;
    void Einstellungen_senden() override;

private:
    TMainForm& f_;
};
