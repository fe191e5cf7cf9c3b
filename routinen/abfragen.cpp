#include "routinen/abfragen.h"

#include "common/pane_flags.h"
#include "link/keloCOMv1.h"

namespace {

// Room for any "@" reply, so that a longer one is seen as wrong instead of
// being cut down to the expected length.
constexpr std::size_t kAbfrage = 32;

}  // namespace

std::string Abfrage_ausfuehren(RoutinenSink& s, void (TkeloCOM::*abfrage)(char*, std::size_t)) {
    char text[kAbfrage] = {};
    (s.Link().*abfrage)(text, sizeof text);
    s.Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kAntwort);
    return text;
}

std::string Position_abfragen(RoutinenSink& s, char cAchse) {
    char text[kAbfrage] = {};
    s.Link().Position_abfragen(cAchse, text, sizeof text);
    s.Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kAntwort);
    return text;
}
