#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "routinen/routinen_sink.h"
#include "cli/ausgabekanal.h"
#include "cli/fortschritt.h"

enum class Ausgabe { Text, Json, Still };

// What the tool shows: the exchanges as the log pane shows them (text), one
// JSON object per exchange, or nothing but the result (still). Errors go to
// standard error in every mode.
class CliSink : public RoutinenSink {
public:
    static constexpr std::size_t kZeile = 260;

    CliSink(TkeloCOM& link, Ausgabe art, Ausgabekanal& aus, std::FILE* fehler = stderr);

    Ausgabekanal& Kanal() { return aus_; }
    void Leeren() override {}
    void Zeile(const std::string& text, Zeilenart art) override;
    void Protokoll_schreiben(bool bLoeschen, bool bAnfrage, bool bAntwort) override;
    void Befehl_beenden(int32_t iFehler) override;
    void Einstellungen_senden() override;
    bool Abgebrochen() const override { return abgebrochen_ && abgebrochen_(); }
    void Im_Programmtext(bool bJa) override { bImProgrammtext_ = bJa; }
    void Programmtext_offen() override;
    void Zeilen_erwartet(std::size_t n) override;
    void Zeile_fertig() override;

    // Progress goes there; on a terminal that standard output shares, its
    // line is taken away before each line of output.
    void Fortschritt_zeigen(Fortschritt* f, bool bAusgabeTeilt) {
        fortschritt_ = f;
        bAusgabeTeilt_ = bAusgabeTeilt;
    }

    void Abbruch_abfragen(std::function<bool()> abgebrochen) { abgebrochen_ = std::move(abgebrochen); }
    // Stops the axes from another thread, through that thread's own sender
    // on the line.
    void Stoppen(TkeloCOM& unterbrecher);
    // The error's name (and the controller's text) on standard error; not
    // after an interrupt, whose stop ended the command.
    void Fehler_melden(int32_t iFehler);
    // Off for a command that reports its own steps: exchanges are then not
    // shown, errors still are.
    void Austausche_zeigen(bool bZeigen) { bAustauscheZeigen_ = bZeigen; }
    // Time of the next exchange counts from here.
    void Uhr_stellen();
    // The replies shown so far, as they came.
    const std::vector<std::string>& Antworten() const { return antworten_; }
    // What --quiet prints and the final JSON object carries.
    void Ergebnis(std::vector<std::string> zeilen) { ergebnis_ = std::move(zeilen); }
    // The first error reply of the controller shown ("E" n BEL as 1020 + n),
    // or 0: command files and sent requests go on after one.
    int32_t Fehlerantwort() const { return iFehlerantwort_; }
    // Prints the result (still) or the final object (json) for an exit status.
    void Abschluss(int iStatus, int32_t iFehler, bool bUnterbrochen);

private:
    struct Austausch {
        std::string anfrage, antwort;  // rendered
        bool bAnfrage = false, bAntwort = false;
        double ms = 0;
        std::optional<int32_t> fehler;  // a raised code, or the error reply
    };

    // The link's last request and reply, raw.
    std::pair<std::string, std::string> Puffer();
    void Zeigen(const Austausch& a);
    void Offen_ausgeben();
    double Verstrichen();
    void Platz_machen(bool bStandardausgabe);

    Ausgabe art_;
    Ausgabekanal& aus_;
    std::FILE* fehler_;
    char szBefehl_[kZeile] = {};
    std::function<bool()> abgebrochen_;
    std::chrono::steady_clock::time_point uhr_;
    // The last exchange: kept back in JSON so that an error can join it.
    std::optional<Austausch> letzter_;
    bool bLetzterOffen_ = false;
    std::vector<std::string> antworten_;
    std::vector<std::string> ergebnis_;
    int32_t iFehlerantwort_ = 0;
    bool bAustauscheZeigen_ = true;
    Fortschritt* fortschritt_ = nullptr;
    bool bAusgabeTeilt_ = false;
    std::atomic<bool> bImProgrammtext_{false};
};
