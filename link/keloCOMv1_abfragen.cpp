// The "@" queries and the reply checks the whole command set shares.
#include <algorithm>
#include <cstring>

#include "common/fehler.h"
#include "common/protokolldatei.h"
#include "link/anfrage.h"
#include "link/keloCOMv1.h"

namespace {

constexpr int32_t kVersionMS = 64, kStatusMS = 20, kPositionMS = 40, kEingangMS = 128;

// A result needs room for at least its terminator.
void Ziel_pruefen(const char* szZiel, size_t iGroesse) { Bereich_pruefen(szZiel != nullptr && iGroesse > 0); }

}  // namespace

bool TkeloCOM::Antwort_beginnt(const char* szAnfang) const {
    return std::strncmp(Antwort(), szAnfang, std::strlen(szAnfang)) == 0;
}

void TkeloCOM::Antwort_pruefen(std::initializer_list<const char*> gueltig, int32_t iFehler) const {
    for (const char* szAnfang : gueltig)
        if (Antwort_beginnt(szAnfang)) return;
    throw iFehler;
}

// The reply to an "@" query repeats the request's letters, then a blank.
// Returns the length of that prefix.
size_t TkeloCOM::Abfrage_senden(const char* szAnfrage, int32_t iZeitMS) {
    SendReqWaitResp(szAnfrage, iZeitMS);
    const size_t iBuchstaben = std::strlen(szAnfrage) - 1;  // without the CR
    if (std::strncmp(Antwort(), szAnfrage, iBuchstaben) != 0 || Antwort()[iBuchstaben] != ' ') throw COMMUNICATION_ERROR;
    return iBuchstaben + 1;
}

// The text after the prefix without the ACK or BEL that ends it, cut to the
// caller's buffer.
void TkeloCOM::Ergebnis_uebernehmen(size_t iPrefix, char* szZiel, size_t iGroesse) const {
    const char* szText = Antwort() + iPrefix;
    const size_t iText = std::strlen(szText);
    const size_t iLaenge = std::min(iText > 0 ? iText - 1 : 0, iGroesse - 1);
    std::memcpy(szZiel, szText, iLaenge);
    szZiel[iLaenge] = '\0';
}

void TkeloCOM::Version_abfragen(char* szVersion, size_t iGroesse) {
    Ziel_pruefen(szVersion, iGroesse);
    Protokolldatei_schreiben("keloCOM->Version_abfragen()");
    Ergebnis_uebernehmen(Abfrage_senden("@V\r", kVersionMS), szVersion, iGroesse);
}

void TkeloCOM::Status_abfragen(char* szStatus, size_t iGroesse) {
    Ziel_pruefen(szStatus, iGroesse);
    Ergebnis_uebernehmen(Abfrage_senden("@X\r", kStatusMS), szStatus, iGroesse);
}

void TkeloCOM::Position_abfragen(char cAchse, char* szPosition, size_t iGroesse) {
    Ziel_pruefen(szPosition, iGroesse);
    const TAnfrage anfrage("@L%c\r", cAchse);
    Ergebnis_uebernehmen(Abfrage_senden(anfrage.Text(), kPositionMS), szPosition, iGroesse);
}

// The caller reads the input's state from szResp.
void TkeloCOM::Eingang_abfragen(char cEingang) {
    const TAnfrage anfrage("@I%c\r", cEingang);
    Abfrage_senden(anfrage.Text(), kEingangMS);
}
