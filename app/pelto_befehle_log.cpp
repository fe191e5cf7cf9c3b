// The log pane as the routines use it, result reporting, and the access to
// controls that worker routines need.
#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include "app/log_pane.h"
#include "app/pelto_befehle_main.h"
#include "app/radio_group.h"
#include "common/fehler.h"
#include "common/pane_flags.h"
#include "common/steuerzeichen.h"
#include "link/keloCOMv1.h"

void TMainForm::Protokoll_schreiben(bool bLoeschen, bool bAnfrage, bool bAntwort) {
    // Rendered at once: the link's buffers change with the next exchange.
    const std::string anfrage = bAnfrage ? Dargestellt(Link().Anfrage()) : std::string();
    const std::string antwort = bAntwort ? Dargestellt(Link().Antwort()) : std::string();
    bruecke_.Post([this, bLoeschen, bAnfrage, bAntwort, anfrage, antwort] {
        if (bLoeschen) log_->Leeren();
        if (bAnfrage) {
            log_->Farbe(kSchwarz);
            log_->Zeile(anfrage);
        }
        if (bAntwort) {
            log_->Farbe(kBlau);
            log_->Zeile(antwort);
        }
    });
}

void TMainForm::Befehl_beenden(int32_t iFehler, const std::string& hinweis) {
    // The routine is over: an answer still owed to it must not block the link.
    Link().Abbrechen();
    Protokoll_schreiben(pane::kLeeren, pane::kAnfrage, pane::kAntwort);
    if (!hinweis.empty()) LogZeile(hinweis, kGrau);
    if (iFehler >= CONTROLLER_ERROR_BASE) {
        LogZeile(Fehlertext_holen(iFehler), kRot);
    } else {
        Fehler_melden(iFehler, "Pelto-Befehle");
    }
}

void TMainForm::LogLeeren() {
    bruecke_.Post([this] { log_->Leeren(); });
}

void TMainForm::LogFarbe(uint32_t farbe) {
    bruecke_.Post([this, farbe] { log_->Farbe(farbe); });
}

void TMainForm::LogText(const std::string& text) {
    bruecke_.Post([this, text] { log_->Zeile(text); });
}

void TMainForm::LogZeile(const std::string& text, uint32_t farbe) {
    LogFarbe(farbe);
    LogText(text);
}

std::string TMainForm::Text(QLineEdit* edit) {
    return bruecke_.Get<std::string>([edit] { return edit->text().toStdString(); });
}

std::string TMainForm::Text(QComboBox* box) {
    return bruecke_.Get<std::string>([box] {
        return box->currentIndex() < 0 ? std::string() : box->itemText(box->currentIndex()).toStdString();
    });
}

int TMainForm::Index(QComboBox* box) {
    return bruecke_.Get<int>([box] { return box->currentIndex(); });
}

int TMainForm::Index(QGroupBox* gruppe) {
    return bruecke_.Get<int>([gruppe] { return RadioGroup_ItemIndex(gruppe); });
}

bool TMainForm::Checked(QAbstractButton* knopf) {
    return bruecke_.Get<bool>([knopf] { return knopf->isChecked(); });
}

void TMainForm::SetzeText(QLabel* label, const std::string& text) {
    bruecke_.Post([label, text] { label->setText(LogPane::Dekodieren(text)); });
}

void TMainForm::SetzeEnabled(QWidget* w, bool bEin) {
    bruecke_.Post([w, bEin] { w->setEnabled(bEin); });
}
