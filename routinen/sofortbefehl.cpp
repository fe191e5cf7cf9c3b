#include "routinen/sofortbefehl.h"

#include "common/pane_flags.h"
#include "link/keloCOMv1.h"
#include "routinen/routinenrahmen.h"

int32_t Sofort_ausfuehren(RoutinenSink& s, void (TkeloCOM::*befehl)()) {
    return Routine_ausfuehren(s, [&] {
        (s.Link().*befehl)();
        s.Protokoll_schreiben(pane::kBehalten, pane::kAnfrage, pane::kAntwort);
    });
}
