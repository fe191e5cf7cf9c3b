#include "app/pelto_befehle_main.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

#include "routinen/default_files.h"
#include "common/protokolldatei.h"
#include "app/glyphe.h"
#include "app/log_pane.h"
#include "app/log_speichern.h"
#include "app/pelto_befehle_thread.h"
#include "routinen/dateizeiten.h"
#include "common/dialog.h"
#include "link/keloCOMv1.h"

TMainForm* MainForm = nullptr;
TkeloCOM* keloCOM = nullptr;

namespace {

constexpr const char* kTitel = "Pelto-Befehle";
constexpr const char* kVersion = "21.01.13";
constexpr const char* kStatusInfo = "Bedienkonsole für Pelto-Schrittmotorsteuerungen";
constexpr int kGlyphe = 16;

using Routine = void (*)(TMainForm&);
struct Befehl {
    int32_t nummer;
    Routine routine;
};

// Command number to worker routine; numbers not listed do nothing.
const Befehl kBefehle[] = {
    {1, [](TMainForm& f) { f.Kovra_Befehl(true); }},
    {2, [](TMainForm& f) { f.Startgeschw_Befehl(); }},
    {3, [](TMainForm& f) { f.Rampenlaenge_Befehl(); }},
    {4, [](TMainForm& f) { f.Endgeschw_Befehl(); }},
    {5, [](TMainForm& f) { f.Wartezeit_Befehl(); }},
    {6, [](TMainForm& f) { f.E1Verknuepfung_Befehl(); }},
    {7, [](TMainForm& f) { f.A1_OFF_Befehl(); }},
    {8, [](TMainForm& f) { f.A1_ON_Befehl(); }},
    {9, [](TMainForm& f) { f.A2_OFF_Befehl(); }},
    {10, [](TMainForm& f) { f.A2_ON_Befehl(); }},
    {11, [](TMainForm& f) { f.A3_OFF_Befehl(); }},
    {12, [](TMainForm& f) { f.A3_ON_Befehl(); }},
    {13, [](TMainForm& f) { f.A4_ON_Befehl(); }},
    {14, [](TMainForm& f) { f.A4_OFF_Befehl(); }},
    {15, [](TMainForm& f) { f.ComIni_Befehl(); }},
    {20, [](TMainForm& f) { f.ProgrammSchreiben_Befehl(); }},
    {21, [](TMainForm& f) { f.ProgrammSchreibenDatei_Befehl(); }},
    {22, [](TMainForm& f) { f.ProgrammLesen_Befehl(); }},
    {23, [](TMainForm& f) { f.ProgrammHeaderLesen_Befehl(); }},
    {24, [](TMainForm& f) { f.ProgrammGroesseErmitteln_Befehl(); }},
    {25, [](TMainForm& f) { f.ProgrammLoeschen_Befehl(); }},
    {26, [](TMainForm& f) { f.FATLesen_Befehl(); }},
    {30, [](TMainForm& f) { f.ProgrammLesenAlle_Befehl(); }},
    {31, [](TMainForm& f) { f.ProgrammLoeschenAlle_Befehl(); }},
    {32, [](TMainForm& f) { f.FATLesenAlle_Befehl(); }},
    {40, [](TMainForm& f) { f.EingangAbfragen_Befehl(); }},
    {41, [](TMainForm& f) { f.ModulTest_Befehl(); }},
    {50, [](TMainForm& f) { f.IniDatei_Befehl(); }},
    {51, [](TMainForm& f) { f.BefehleDatei_Befehl(); }},
    {52, [](TMainForm& f) { f.xyzVektorFahren_Befehl(); }},
    {53, [](TMainForm& f) { f.uVektorFahren_Befehl(); }},
    {54, [](TMainForm& f) { f.RefOffset_Befehl(); }},
    {55, [](TMainForm& f) { f.RefAnforderung_Befehl(); }},
    {56, [](TMainForm& f) { f.xyzReferenzfahrt_Befehl(); }},
    {57, [](TMainForm& f) { f.uReferenzfahrt_Befehl(); }},
};

}  // namespace

TMainForm::TMainForm(FensterBruecke& bruecke, const QStringList& argumente, QWidget* parent, bool bStandarddateien)
    : QMainWindow(parent), bruecke_(bruecke), bStandarddateien_(bStandarddateien) {
    setupUi(this);
    log_ = std::make_unique<LogPane>(RichEdit);
    bruecke_.Ausgabe_setzen([this] { log_->Ausgeben(); });
    new LogSpeichern(*log_);  // owned by the pane
    StatusleisteAnlegen();
    Beenden_BitBtn->setIcon(Glyphe(":/bilder/beenden.svg", ":/bilder/beenden_aus.svg", kGlyphe));
    Beenden_BitBtn->setIconSize(QSize(kGlyphe, kGlyphe));
    // It maximises; smaller than the form, controls would be cut off.
    setMinimumSize(size());
    OnCreate(argumente);
}

TMainForm::~TMainForm() {
    OnClose();
    bruecke_.Ausgabe_setzen(nullptr);
    if (MainForm == this) MainForm = nullptr;
}

void TMainForm::OnCreate(const QStringList& argumente) {
    OptionenLesen(argumente);
    TitelSetzen();
    ProgrammSchreibenDatei_Button->setVisible(bKeloOption);
    ModulTest_Button->setVisible(bKeloOption);
    ArbeiterStarten();
    for (QWidget* w : {static_cast<QWidget*>(VektorLabel4), static_cast<QWidget*>(VektorU_Edit),
                       static_cast<QWidget*>(uVektorFahren_Button), static_cast<QWidget*>(uReferenzfahrt_Button)})
        w->setEnabled(bUAchse);
    Unterbrechen_Button->setEnabled(false);
    Weiterfahrt_Button->setEnabled(false);
    // Without its own folder the console touches no file where it was started.
    if (bStandarddateien_) {
        std::remove("_protokoll.txt");
        StandarddateienSchreiben();
    }
    if (const auto problem = Protokolldatei_Problem()) ShowMessage(*problem, kTitel, MessageIcon::Warning);
}

void TMainForm::OptionenLesen(const QStringList& argumente) {
    bKeloOption = 0;
    bUAchse = 0;
    for (const QString& arg : argumente.mid(1)) {
        const QString option = arg.toUpper();
        if (option == "/KELO") {
            bKeloOption = 1;
        } else if (option == "/TIME") {
            Dateizeiten_setzen(kVersionszeit, "txt", "");
        } else if (option == "/UACHSE") {
            bUAchse = 1;
        }
    }
}

void TMainForm::TitelSetzen() {
    std::string titel = std::string(kTitel) + "   " + kVersion + "    ";
    if (bKeloOption) titel += "/KELO ";
    if (bUAchse) titel += "/UACHSE ";
    titel += "   ";
    setWindowTitle(QString::fromStdString(titel));
}

void TMainForm::StatusleisteAnlegen() {
    struct Feld {
        int breite;
        Qt::Alignment ausrichtung;
        bool vertieft;
        const char* text;
    };
    const Feld felder[5] = {{120, Qt::AlignRight, false, "Serielle Schnittstelle:"},
                            {50, Qt::AlignCenter, true, ""},
                            {50, Qt::AlignRight, false, "Status:"},
                            {70, Qt::AlignCenter, true, ""},
                            {0, Qt::AlignCenter, false, kStatusInfo}};
    for (int i = 0; i < 5; ++i) {
        auto* label = new QLabel(QString::fromUtf8(felder[i].text), StatusBar);
        label->setAlignment(felder[i].ausrichtung | Qt::AlignVCenter);
        if (felder[i].vertieft) label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        if (felder[i].breite) label->setFixedWidth(felder[i].breite);
        StatusBar->addWidget(label, felder[i].breite ? 0 : 1);
        statusPanels_[i] = label;
    }
}

void TMainForm::ArbeiterStarten() {
    befehleThread_ = std::make_unique<TPelto_befehle_thread>(true, [this](int32_t n) { Befehl_ausfuehren(n); });
    befehleThread_->SetPriority(platform::ThreadPriority::Normal);
    befehleThread_->Resume();
    befehleThread_->hEventRun.Wait();
}

void TMainForm::StandarddateienSchreiben() {
    const auto ergebnis = Standarddateien_schreiben(".");
    if (!ergebnis.ok()) ShowMessage(ergebnis.fehler->text, kTitel, MessageIcon::Exclamation);
}

void TMainForm::Befehl_ausfuehren(int32_t iBefehl) {
    for (const Befehl& b : kBefehle) {
        if (b.nummer == iBefehl) {
            b.routine(*this);
            // However the routine ended, what it is still owed is stale now
            // (after a failure its Befehl_beenden has said so already).
            if (keloCOM) Link().Abbrechen(true);
            return;
        }
    }
}

TkeloCOM& TMainForm::Link() {
    if (befehleThread_ && befehleThread_->Hier()) {
        if (!arbeiterLink_ || !arbeiterLink_->GleicheLinie(*keloCOM)) arbeiterLink_ = keloCOM->Neuer_Absender();
        return *arbeiterLink_;
    }
    // A third thread would share a sender with one of these two.
    if (QThread::currentThread() != thread()) {
        std::fputs("Pelto-Befehle: the link was used from a thread that is not the window's nor the worker's\n",
                   stderr);
        std::abort();
    }
    return *keloCOM;
}

void TMainForm::Befehl_starten(int32_t iBefehl) {
    // A routine in its last 50 ms may still need the window to finish.
    if (!bruecke_.WartenUndBedienen(befehleThread_->hEventIdle, 50)) return;
    befehleThread_->iBefehl = iBefehl;
    befehleThread_->hEventCmd.Set();
}

bool TMainForm::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate && !bAktiviert_) {
        bAktiviert_ = true;
        OnActivate();
    } else if (e->type() == QEvent::Show && !bAktiviert_) {
        // Offscreen, and X without a window manager, never activate a window.
        // Where a manager does, wait for it: only then is the frame known.
        const bool offscreen = QGuiApplication::platformName() == "offscreen";
        QTimer::singleShot(offscreen ? 0 : 1000, this, [this] {
            if (bAktiviert_) return;
            bAktiviert_ = true;
            OnActivate();
        });
    }
    return QMainWindow::event(e);
}

// The background frame fills the client area above the status bar.
void TMainForm::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    Bevel->setGeometry(centralWidget()->rect());
}

void TMainForm::closeEvent(QCloseEvent* e) {
    OnClose();
    e->accept();
}

void TMainForm::OnClose() {
    if (bGeschlossen_) return;
    bGeschlossen_ = true;
    // The worker may need the window on its way out: served meanwhile.
    befehleThread_->Beenden();
    bruecke_.WartenUndBedienen(befehleThread_->hEventEnd);
    befehleThread_->hEventEnd.Close();
    befehleThread_->Stoppen();
    if (keloCOM) keloCOM->UnInit();
}

void TMainForm::Beenden_BitBtnClick() { close(); }
