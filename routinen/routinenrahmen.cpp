#include "routinen/routinenrahmen.h"

#include "common/dialog.h"

int32_t Routine_ausfuehren(RoutinenSink& s, const std::function<void()>& vorgang) {
    try {
        vorgang();
    } catch (int& e) {
        s.Befehl_beenden(e);
        return e;
    } catch (const ProgrammtextOffen& o) {
        s.Befehl_beenden(o.code);
        s.Programmtext_offen();
        return o.code;
    } catch (const DateiProblem& p) {
        ShowMessage(p.text, "Fehler", MessageIcon::Exclamation);
        return kDateiNichtSendbar;
    }
    return 0;
}
