#include "support/konsole.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>

#include <unistd.h>

#include <chrono>
#include <climits>

#include "app/anwendung.h"
#include "app/log_pane.h"
#include "app/pelto_befehle_thread.h"
#include "common/protokolldatei.h"
#include "support/sim_profil.h"

namespace {
// Every port name is in the environment before main: later the values only
// change, and the table never grows under QtTest's watchdog thread, which
// reads it at each test function's start.
const bool kPortsVorbelegt = [] {
    for (int n = 1; n <= 63; ++n) ::setenv(("PELTO_COM" + std::to_string(n)).c_str(), "/nonexistent/pelto-test", 0);
    return true;
}();
}  // namespace

Konsole::Konsole(KonsolenStart start) {
    char cwd[PATH_MAX] = {};
    altesVerzeichnis_ = ::getcwd(cwd, sizeof cwd) ? cwd : ".";
    if (::chdir(ordner_.Path().c_str()) != 0) throw std::runtime_error("chdir failed");
    Protokolldatei_Ordner_setzen(ordner_.Path());
    for (int n = 1; n <= 63; ++n)
        ::setenv(("PELTO_COM" + std::to_string(n)).c_str(), "/nonexistent/pelto-test", 1);
    for (int i = 0; i < start.simulatoren; ++i) {
        sims_.push_back(std::make_unique<sim::SimServer>(Suitenprofil(start.sim)));
        sims_.back()->Start();
        ::setenv(("PELTO_COM" + std::to_string(2 * i + 1)).c_str(), sims_.back()->DevicePath().c_str(), 1);
    }
    Anwendung_einrichten();
    dialoge_ = std::make_unique<FensterRecorder>(bruecke_);
    QStringList argumente{"pelto-befehle"};
    argumente += start.optionen;
    form_ = std::make_unique<TMainForm>(bruecke_, argumente);
    MainForm = form_.get();
    link_ = std::make_unique<TkeloCOM>();
    keloCOM = link_.get();
    if (start.anzeigen) Anzeigen();
}

Konsole::~Konsole() {
    form_->close();
    form_.reset();
    link_.reset();
    keloCOM = nullptr;
    MainForm = nullptr;
    dialoge_.reset();
    for (auto& s : sims_) s->Stop();
    Protokolldatei_Ordner_setzen("");
    [[maybe_unused]] int rc = ::chdir(altesVerzeichnis_.c_str());
}

void Konsole::Anzeigen() {
    form_->show();
    form_->activateWindow();
    // The first activation sets the defaults ("bereit") and posts the set-up.
    QTRY_COMPARE_WITH_TIMEOUT(form_->StatusPanel(3)->text(), QString("bereit"), 5000);
    Leerlauf();
}

bool Konsole::Leerlauf(int ms) {
    const auto ende = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    auto* t = form_->BefehleThread();
    while (std::chrono::steady_clock::now() < ende) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        if (t->hEventIdle.Wait(20) == platform::WaitResult::Signalled) {
            // Hand it back: command 0 runs nothing and makes it idle again.
            t->iBefehl = 0;
            t->hEventCmd.Set();
            bruecke_.Abarbeiten();
            QApplication::processEvents();
            return true;
        }
    }
    return false;
}

void Konsole::Klick(QAbstractButton* knopf) { QTest::mouseClick(knopf, Qt::LeftButton); }

std::vector<std::string> Konsole::Zeilen() const {
    std::vector<std::string> zeilen;
    const QTextDocument* doc = form_->RichEdit->document();
    if (form_->Log().Zeilenzahl() == 0) return zeilen;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) zeilen.push_back(b.text().toStdString());
    return zeilen;
}

std::vector<QColor> Konsole::Farben() const {
    std::vector<QColor> farben;
    const QTextDocument* doc = form_->RichEdit->document();
    if (form_->Log().Zeilenzahl() == 0) return farben;
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        const auto formats = b.textFormats();
        farben.push_back(formats.isEmpty() ? QColor() : formats.first().format.foreground().color());
    }
    return farben;
}

std::vector<std::string> Konsole::Protokoll() const { return CrLfZeilen(Protokolldatei_Pfad()); }

std::vector<std::string> Konsole::Boxen() const {
    std::vector<std::string> texte;
    for (const auto& b : dialoge_->Boxes()) texte.push_back(b.caption + ": " + b.text);
    return texte;
}

std::vector<std::string> OhneSofortzeilen(std::vector<std::string> zeilen, const std::string& anfrage) {
    for (auto it = zeilen.begin(); it != zeilen.end() && it + 1 != zeilen.end(); ++it) {
        if (*it == anfrage && *(it + 1) == "@RS<ACK>") {
            zeilen.erase(it, it + 2);
            break;
        }
    }
    return zeilen;
}
