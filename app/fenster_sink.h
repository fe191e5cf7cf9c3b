#pragma once

#include <functional>

#include "routinen/routinen_sink.h"

class TMainForm;

// The window as the transfer routines see it: its log pane, its request
// buffer, its drive settings and the link it uses.
class FensterSink : public RoutinenSink {
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

// One routine of the window through the console's routine frame: a raised
// error code ends it with the window's report.
void Fensterroutine(TMainForm& f, const std::function<void(RoutinenSink&)>& routine);
