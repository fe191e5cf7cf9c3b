#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class TkeloCOM;

// What a line of the log carries; the window gives each its colour. A
// Hinweis is advice for the operator: grey in the pane, on standard error
// in the command-line tool.
enum class Zeilenart { Anfrage, Antwort, Fehler, Rahmen, Hinweis };

// Where the console's routines send what they show, and where they get the
// link and the request buffer. The window and the command-line tool each
// give one; the values a routine needs come as its arguments.
class RoutinenSink {
public:
    // The link the routines use and the buffer in which the next request
    // is composed (260 characters); both outlive the sink.
    RoutinenSink(TkeloCOM& link, char* szBefehl, std::size_t iGroesse)
        : link_(link), szBefehl_(szBefehl), iGroesse_(iGroesse) {}
    virtual ~RoutinenSink() = default;
    RoutinenSink(const RoutinenSink&) = delete;
    RoutinenSink& operator=(const RoutinenSink&) = delete;

    TkeloCOM& Link() { return link_; }
    char* Befehlspuffer() { return szBefehl_; }
    std::size_t Befehlspuffergroesse() const { return iGroesse_; }

    // The log: emptied, one line, or the link's last request and reply.
    virtual void Leeren() = 0;
    virtual void Zeile(const std::string& text, Zeilenart art) = 0;
    virtual void Protokoll_schreiben(bool bLoeschen, bool bAnfrage, bool bAntwort) = 0;
    // A caught error code ends the routine.
    virtual void Befehl_beenden(int32_t iFehler) = 0;
    // The drive settings that become the first commands of a written program.
    virtual void Einstellungen_senden() = 0;
    // True when the routine must send nothing more (the tool was interrupted).
    virtual bool Abgebrochen() const { return false; }
    // Progress through a routine's lines: `n` more to come (file lines to
    // send), and one line sent or received. A read does not know its total.
    virtual void Zeilen_erwartet(std::size_t n) { (void)n; }
    virtual void Zeile_fertig() {}
    // From a write's opening to its end mark the controller takes text:
    // an "@" request sent then may be stored as a program line.
    virtual void Im_Programmtext(bool bJa) { (void)bJa; }
    // A write was cut off where the controller may still take program text.
    virtual void Programmtext_offen() {
        Zeile("Die Steuerung nimmt womöglich noch Programmtext an: \"Reset ausführen\" bringt sie zurück.",
              Zeilenart::Hinweis);
    }

private:
    TkeloCOM& link_;
    char* szBefehl_;
    std::size_t iGroesse_;
};
