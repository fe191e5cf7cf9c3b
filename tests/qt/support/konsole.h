#pragma once

#include <QColor>
#include <QStringList>
#include <QTest>

#include <memory>
#include <string>
#include <vector>

#include "app/fenster_bruecke.h"
#include "app/pelto_befehle_main.h"
#include "link/keloCOMv1.h"
#include "sim/sim_server.h"
#include "support/crlf_lines.h"
#include "support/dialog_recorder.h"
#include "support/temp_dir.h"

// A failed comparison of lines or boxes prints them, so a rare failure
// under load says what came instead.
template <>
inline char* QTest::toString(const std::vector<std::string>& lines) {
    std::string all = "{";
    for (const auto& line : lines) all += (all.size() > 1 ? ", \"" : "\"") + line + "\"";
    return qstrdup((all + "}").c_str());
}

// The pane's lines without the window's immediate request and its "@RS"
// reply next to it: the worker's "!" follows 10 ms after the window took
// "@RS", so on a busy machine the window may write them after it. Lines
// without that pair come back as they are.
std::vector<std::string> OhneSofortzeilen(std::vector<std::string> zeilen, const std::string& anfrage);

// Message boxes recorded on the window's thread, as the real ones are shown
// there: a worker asking for one waits for the window.
class FensterRecorder : public DialogRecorder {
public:
    explicit FensterRecorder(FensterBruecke& bruecke) : bruecke_(bruecke) {}
    int ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override {
        return bruecke_.Get<int>([&] { return DialogRecorder::ShowMessage(text, caption, icon); });
    }

private:
    FensterBruecke& bruecke_;
};

struct KonsolenStart {
    QStringList optionen;
    int simulatoren = 1;  // on COM1, COM3, ... (odd numbers)
    sim::SimOptions sim;
    bool anzeigen = true;  // show and wait for the link set-up
};

// The whole console in a fresh working folder, on simulated controllers,
// with message boxes recorded. Every other COM number maps to nothing.
class Konsole {
public:
    explicit Konsole(KonsolenStart start = {});
    ~Konsole();

    TMainForm& Form() { return *form_; }
    TkeloCOM& Link() { return *link_; }
    sim::SimServer& Sim(int i = 0) { return *sims_.at(i); }
    DialogRecorder& Dialoge() { return *dialoge_; }
    const TempDir& Ordner() const { return ordner_; }

    // Shows the window and waits until the start-up set-up has finished.
    void Anzeigen();
    // Waits (serving the window) until the worker is idle and its changes
    // have reached the window.
    bool Leerlauf(int ms = 20000);
    // Clicks a button as the operator would.
    void Klick(QAbstractButton* knopf);

    std::vector<std::string> Zeilen() const;
    std::vector<QColor> Farben() const;
    std::vector<std::string> Protokoll() const;
    std::vector<std::string> Boxen() const;

private:
    TempDir ordner_;
    std::string altesVerzeichnis_;
    std::vector<std::unique_ptr<sim::SimServer>> sims_;
    FensterBruecke bruecke_;
    std::unique_ptr<FensterRecorder> dialoge_;
    std::unique_ptr<TkeloCOM> link_;
    std::unique_ptr<TMainForm> form_;
};
