#include "routinen/ausnahme.h"

#include "common/dialog.h"
#include "common/fehler.h"

int Ausnahme_melden(std::exception_ptr ausnahme, const char* szCaption) {
    try {
        std::rethrow_exception(ausnahme);
    } catch (int& iFehler) {
        return Fehler_melden(iFehler, szCaption);
    } catch (const std::exception& e) {
        return ShowMessage(e.what(), szCaption, MessageIcon::Warning);
    } catch (...) {
        return ShowMessage("Unbekannte Ausnahme", szCaption, MessageIcon::Warning);
    }
}
