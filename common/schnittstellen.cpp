#include "common/schnittstellen.h"

#include <cstdio>

#include "platform/port_names.h"

void Schnittstellen_suchen(PortListe* pListe1, PortListe* pListe2) {
    PortListe* listen[] = {pListe1, pListe2};
    for (PortListe* l : listen)
        if (l) l->Leeren();
    for (int n = 1; n <= platform::kMaxComPort; ++n) {
        if (!platform::ComPortPresent(n)) continue;
        char name[16];
        std::snprintf(name, sizeof name, "COM%i", n);
        for (PortListe* l : listen)
            if (l) l->Hinzufuegen(name);
    }
}
