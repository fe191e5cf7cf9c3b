#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <string>

namespace platform {
class SerialPort;
}
class TkeloCOM_thread;
class TLeitungsbeobachter;

// One sender's handle on the link to one controller: port set-up, the
// request/response transaction with its two send gates, and one operation per
// controller command. The line is shared by every handle made from the first
// with Neuer_Absender(); each handle is one sender to the link (whom an answer
// is owed) with its own last exchange, and is used by one thread at a time.
// Every failure is thrown as an int error code (common/fehler.h).
class TkeloCOM {
public:
    // As the receive buffer: the longest reply whole.
    static constexpr size_t kPufferGroesse = 262;
    static constexpr size_t kMaxAnfrageLaenge = 127;
    static constexpr size_t kBefehlsPuffer = 32;

private:
    // What all senders on one line share.
    struct Linie {
        std::atomic<int32_t> bAppStarted{0};
        char szReq[kPufferGroesse] = {};
        char szResp[kPufferGroesse] = {};
        int32_t iModulTyp = 2;
        std::atomic<uint32_t> iResets{0};
        std::atomic<uint32_t> iSender{0};
        std::mutex hSenden;
        std::mutex hPuffer;
        std::atomic<int64_t> iLeitungFreiUS{0};
        std::atomic<uint32_t> iBaud{115200};
        std::mutex mutex;
        std::shared_ptr<platform::SerialPort> hCom;
        std::shared_ptr<TkeloCOM_thread> keloCOM_thread;
        std::atomic<TLeitungsbeobachter*> beobachter{nullptr};
    };
    const std::shared_ptr<Linie> l_;
    const uint32_t ich_;  // this handle's sender number on the line; the first is 1

public:
    // A new line, and its first sender: the one that shuts it down.
    TkeloCOM();
    ~TkeloCOM();
    TkeloCOM(const TkeloCOM&) = delete;
    TkeloCOM& operator=(const TkeloCOM&) = delete;
    // Another sender on this line, for another thread; it must not outlive
    // the first handle.
    std::unique_ptr<TkeloCOM> Neuer_Absender();
    bool GleicheLinie(const TkeloCOM& andere) const { return l_ == andere.l_; }
    // The line's one observer of its traffic, in the order of the line
    // (nullptr: none). A new line's is the process's recording. Set it
    // before Init; it must outlive the line.
    void Beobachter_setzen(TLeitungsbeobachter* b) { l_->beobachter = b; }

    std::atomic<int32_t>& bAppStarted;
    // The line's last request and reply, whoever sent it. A sender reads its
    // own exchange through Anfrage() and Antwort().
    char (&szReq)[kPufferGroesse];
    char (&szResp)[kPufferGroesse];
    int32_t& iModulTyp;
    // Counts the resets and stops sent, so that a long transfer can tell it
    // was cut off between two exchanges.
    std::atomic<uint32_t>& iResets;

    // Port set-up and shut-down.
    static std::shared_ptr<platform::SerialPort> OpenSerialPort(const char* szPortName, uint32_t iBaud);
    void Init(int8_t iPort, uint32_t iBaud);
    // The same for a device path, without a COM name in between.
    void Init(const std::string& pfad, uint32_t iBaud);
    void UnInit();
    bool HatPort() const;
    // Closes the port at once, its settings and lock given back, for a tool
    // that must leave without waiting for UnInit.
    void Port_freigeben();

    // The transaction.
    // With piResetStand: refused (ACK_ERROR, nothing sent) when a reset or
    // stop went out since *piResetStand, even while it waited at its gate.
    void SendReq(const char* szRequest, const uint32_t* piResetStand = nullptr);
    // A header line: header text whatever its first character, through the
    // normal gate, owed no answer.
    void SendReq_Kopfzeile(const char* szZeile, const uint32_t* piResetStand = nullptr);
    // WaitResp's time for a request owed no answer: do not wait, open the gate.
    static constexpr int32_t kOhneAntwort = -2;
    void WaitResp(int32_t iZeitMS);
    void WaitResp_MB(int32_t iZeitMS);
    void SendReqWaitResp(const char* szRequest, int32_t iZeitMS, const uint32_t* piResetStand = nullptr);
    bool Connect();
    // This sender's routine is over (`bGelungen`: without an error): an
    // answer still owed to it is stale when it comes, and does not block
    // the link. A routine that failed, or ended on a reply that noise can
    // end like, may have taken noise: the line must go quiet before the
    // next request.
    void Abbrechen(bool bGelungen = false);
    // This sender's own last request and reply: one consistent pair,
    // untouched by other senders' exchanges.
    const char* Anfrage() const;
    const char* Antwort() const;
    // How many replies this sender has taken: whether Antwort() is
    // still an earlier one.
    uint64_t Antworten() const;

    // Queries. Results are cut to the caller's buffer and always terminated.
    void Version_abfragen(char* szVersion, size_t iGroesse);
    void Status_abfragen(char* szStatus, size_t iGroesse);
    void Position_abfragen(char cAchse, char* szPosition, size_t iGroesse);
    void Eingang_abfragen(char cEingang);

    // Settings.
    void Ansteuersignale_einstellen(int8_t i8Ansteuersignal);
    void Halb_Vollschrittbetrieb_einstellen(int8_t i8Schrittbetrieb, int8_t i8Ruhestrom);
    void Startgeschwindigkeit_einstellen(uint32_t Startfreq);
    void Endgeschwindigkeit_einstellen(int8_t iIndex, uint32_t iArbeitsfreq);
    void Rampenlaenge_einstellen(uint16_t ui16Rampenlaenge);
    void Wartezeit_einfuegen(uint32_t iWartezeitMS);
    void E1Verknuepfung(int8_t iAktion);
    void Ausgangssignal_setzen(int8_t iNr, int8_t iModus);
    void I2C_Ausgangssignal_setzen(int8_t iNr, int8_t iModus);
    void WatchDog_setzen(int8_t iModus);

    // Motion and control.
    void xyzVektor_fahren(int32_t bRelativ, int8_t i8Index, int32_t iX, int32_t iY, int32_t iZ);
    void uVektor_fahren(int32_t bRelativ, int8_t i8Index, int32_t iU);
    void Referenzoffset_einstellen(char cAchse, int32_t iOffset);
    void Reset_ausfuehren();
    void Achsen_stoppen();
    void Achsen_anhalten();
    void Fahrt_unterbrechen();
    void Pause_beenden();

private:
    explicit TkeloCOM(std::shared_ptr<Linie> linie);
    std::shared_ptr<TkeloCOM_thread> Thread() const;
    TLeitungsbeobachter* Beobachter() const { return l_->beobachter.load(); }
    std::shared_ptr<platform::SerialPort> Port() const;
    void Init_starten(const std::string& pfad, const std::string& wer, uint32_t iBaud);
    void InitOeffnen(const std::string& pfad, const std::string& wer, uint32_t iBaud);
    void Zulassen(TkeloCOM_thread& t, const char* szRequest, bool bOhneAntwort);
    void Senden(const char* szRequest, const uint32_t* piResetStand, bool bOhneAntwort);
    void Warten(TkeloCOM_thread& t, bool bMB, int32_t iZeitMS);
    bool Verlaengern(TkeloCOM_thread& t, std::chrono::steady_clock::time_point t0, int64_t iBeginn, int64_t iHoechstens,
                     int64_t& iMS);
    int64_t Uebertragungszeit() const;
    void Leitung_belegen(size_t iZeichen);
    int64_t Sendezeit_Rest() const;
    void Nachzuegler_abwarten(int iVersuche, uint64_t iAntwortenVorher, std::chrono::steady_clock::time_point bis);
    void Anfrage_merken(const char* szText);
    void Antwort_merken(const char* szText);

    // Command-set helpers: send one request, judge the start of szResp.
    bool Antwort_beginnt(const char* szAnfang) const;
    void Antwort_pruefen(std::initializer_list<const char*> gueltig, int32_t iFehler) const;
    size_t Abfrage_senden(const char* szAnfrage, int32_t iZeitMS);
    void Ergebnis_uebernehmen(size_t iPrefix, char* szZiel, size_t iGroesse) const;
    void Quittung_fordern(const char* szAnfrage, const char* szQuittung, int32_t iFehler, bool bE1Melden = false);
    void Schalten(const char* szPrefix, int8_t iModus);

    // Checking for a reset and writing are one step: a program line can no
    // longer slip out after a reset that the window's thread sends meanwhile.
    std::mutex& hSenden_;
    std::mutex& hPuffer_;  // orders the writers of szReq and szResp
    std::atomic<int64_t>& iLeitungFreiUS_;  // when the last written byte has left (steady clock)
    std::atomic<uint32_t>& iBaud_;
    std::mutex& mutex_;  // guards the two pointers below, not the buffers
    std::shared_ptr<platform::SerialPort>& hCom;
    std::shared_ptr<TkeloCOM_thread>& keloCOM_thread;
    // This sender's last exchange.
    char szEigeneAnfrage_[kPufferGroesse] = {};
    char szEigeneAntwort_[kPufferGroesse] = {};
    uint64_t iEigeneAntworten_ = 0;
};
