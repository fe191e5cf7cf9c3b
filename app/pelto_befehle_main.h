#pragma once

#include <QMainWindow>

#include <cstdint>
#include <memory>
#include <string>

#include "app/fenster_bruecke.h"
#include "ui_pelto_befehle_main.h"

class QLabel;
class QGroupBox;
class QAbstractButton;
class QLineEdit;
class QComboBox;
class TkeloCOM;
class TPelto_befehle_thread;
class LogPane;

// The console's one window: its controls, the handlers, and every routine
// the worker runs. Worker routines touch controls only through the
// FensterBruecke, so each change happens on the window's thread, in order.
class TMainForm : public QMainWindow, public Ui::TMainForm {
    Q_OBJECT
public:
    static constexpr size_t kZeile = 260;

    // Reads the options from the arguments (the program's path first).
    // Work of other threads reaches the window through the given bridge.
    // Without bStandarddateien no default files are written (the working
    // folder meant for them could not be entered).
    TMainForm(FensterBruecke& bruecke, const QStringList& argumente, QWidget* parent = nullptr,
              bool bStandarddateien = true);
    ~TMainForm() override;

    // Options and stored operator values.
    int32_t bKeloOption = 0;
    int32_t bUAchse = 0;
    int8_t i8Ansteuersignal = 1;
    int8_t i8Schrittbetrieb = 1;
    int8_t i8Ruhestrom = 1;
    int32_t iStartgeschw = 200;
    uint16_t ui16Rampenlaenge = 100;
    uint32_t iEndgeschw = 500;
    int32_t iWartezeitMS = 0;
    int8_t i8VektorModus = 0;
    int32_t iVektor[4] = {2000, 0, 0, 0};
    int32_t iRefOffset = 0;
    char szZeile[kZeile] = {};
    char szBefehl[kZeile] = {};

    TPelto_befehle_thread* BefehleThread() const { return befehleThread_.get(); }
    FensterBruecke& Bruecke() { return bruecke_; }
    QLabel* StatusPanel(int i) const { return statusPanels_[i]; }
    LogPane& Log() { return *log_; }

    // Posting and reporting.
    void Befehl_starten(int32_t iBefehl);
    void Befehl_ausfuehren(int32_t iBefehl);
    // The caller's own sender on the line: the window's thread sends as
    // keloCOM, the worker as a handle of its own.
    TkeloCOM& Link();
    void Protokoll_schreiben(bool bLoeschen, bool bAnfrage, bool bAntwort);
    // A hint, when given, follows the failed exchange as a grey line.
    void Befehl_beenden(int32_t iFehler, const std::string& hinweis = {});

    // Start-up and link set-up.
    void OnActivate();
    void ComIni_Befehl();

    // Settings, outputs and inputs.
    void Kovra_Befehl(bool bLoeschen);
    void Startgeschw_Befehl();
    void Rampenlaenge_Befehl();
    void Endgeschw_Befehl();
    void Wartezeit_Befehl();
    void E1Verknuepfung_Befehl();
    void A1_OFF_Befehl();
    void A1_ON_Befehl();
    void A2_OFF_Befehl();
    void A2_ON_Befehl();
    void A3_OFF_Befehl();
    void A3_ON_Befehl();
    void A4_ON_Befehl();
    void A4_OFF_Befehl();
    void EingangAbfragen_Befehl();

    // Axes.
    void xyzVektorFahren_Befehl();
    void uVektorFahren_Befehl();
    void RefOffset_Befehl();
    void RefAnforderung_Befehl();
    void xyzReferenzfahrt_Befehl();
    void uReferenzfahrt_Befehl();

    // Program memory and command files.
    void ProgrammSchreiben_Befehl();
    void ProgrammSchreibenDatei_Befehl();
    void ProgrammLesen_Befehl();
    void ProgrammHeaderLesen_Befehl();
    void ProgrammGroesseErmitteln_Befehl();
    void ProgrammLoeschen_Befehl();
    void FATLesen_Befehl();
    void ProgrammLesenAlle_Befehl();
    void ProgrammLoeschenAlle_Befehl();
    void FATLesenAlle_Befehl();
    void IniDatei_Befehl();
    void BefehleDatei_Befehl();

    // Module test.
    void ModulTest_Befehl();

public slots:
    void Versionsabfrage_ButtonClick();
    void Statusabfrage_ButtonClick();
    void Ansteuersignal_RadioGroupClick();
    void Kovra_ButtonClick();
    void Startgeschw_ButtonClick();
    void Rampenlaenge_ButtonClick();
    void Endgeschw_ButtonClick();
    void Wartezeit_ButtonClick();
    void E1Verknuepfung_ButtonClick();
    void A1_OFF_SpeedButtonClick();
    void A1_ON_SpeedButtonClick();
    void A2_OFF_SpeedButtonClick();
    void A2_ON_SpeedButtonClick();
    void A3_OFF_SpeedButtonClick();
    void A3_ON_SpeedButtonClick();
    void A4_OFF_SpeedButtonClick();
    void A4_ON_SpeedButtonClick();
    void Seriell_ComboBoxChange();
    void ProgrammSchreiben_ButtonClick();
    void ProgrammSchreibenDatei_ButtonClick();
    void ProgrammLesen_ButtonClick();
    void ProgrammLesenAlle_ButtonClick();
    void ProgrammHeaderLesen_ButtonClick();
    void ProgrammGroesseErmitteln_ButtonClick();
    void ProgrammLoeschen_ButtonClick();
    void ProgrammLoeschenAlle_ButtonClick();
    void FATLesen_ButtonClick();
    void FATLesenAlle_ButtonClick();
    void EingangAbfragen_ButtonClick();
    void IO_SpeedButtonClick();
    void Positionsabfrage_ButtonClick();
    void IniDatei_ButtonClick();
    void BefehleDatei_ButtonClick();
    void xyzVektorFahren_ButtonClick();
    void uVektorFahren_ButtonClick();
    void RefOffset_ButtonClick();
    void RefAnforderung_ButtonClick();
    void xyzReferenzfahrt_ButtonClick();
    void uReferenzfahrt_ButtonClick();
    void EncoderEinstellung_ButtonClick();
    void Reset_ButtonClick();
    void Stoppen_ButtonClick();
    void Anhalten_ButtonClick();
    void Unterbrechen_ButtonClick();
    void Weiterfahrt_ButtonClick();
    void ModulTest_ButtonClick();
    void Beenden_BitBtnClick();

protected:
    bool event(QEvent* e) override;
    void closeEvent(QCloseEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;

private:
    void OnCreate(const QStringList& argumente);
    void OptionenLesen(const QStringList& argumente);
    void TitelSetzen();
    void StatusleisteAnlegen();
    void ArbeiterStarten();
    void StandarddateienSchreiben();
    void OnClose();
    void StandardwerteSetzen();
    void PortsAuflisten();
    void PortsFuellen();
    void PortsAuffrischen();
    // Each with its own try/catch; they report through Befehl_beenden.
    void Ausgang_Befehl(int n, int m);

public:
    // Access to controls from any thread, carried out on the window's.
    std::string Text(QLineEdit* edit);
    std::string Text(QComboBox* box);
    int Index(QComboBox* box);
    int Index(QGroupBox* gruppe);
    bool Checked(QAbstractButton* knopf);
    void SetzeText(QLabel* label, const std::string& text);
    void SetzeEnabled(QWidget* w, bool bEin);
    // The log pane, as worker routines see it.
    void LogLeeren();
    void LogZeile(const std::string& text, uint32_t farbe);
    void LogFarbe(uint32_t farbe);
    void LogText(const std::string& text);

private:
    FensterBruecke& bruecke_;
    std::unique_ptr<LogPane> log_;
    std::unique_ptr<TPelto_befehle_thread> befehleThread_;
    std::unique_ptr<TkeloCOM> arbeiterLink_;  // made and used by the worker alone
    QLabel* statusPanels_[5] = {};
    bool bAktiviert_ = false;
    bool bStandarddateien_ = true;
    bool bGeschlossen_ = false;
};

// The three long-lived objects of the program.
extern TMainForm* MainForm;
extern TkeloCOM* keloCOM;
