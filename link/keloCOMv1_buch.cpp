#include "link/keloCOMv1_buch.h"

#include <cstring>

namespace buch {

namespace {

using Z = Zustand;
using W = Wirkung;

W Wirk(W::Art art, Kanal kanal, bool bVerspaetet = false) {
    W w;
    w.art = art;
    w.kanal = kanal;
    w.bVerspaetet = bVerspaetet;
    return w;
}

W Normale_Antwort(Kanalbuch& k, bool nak) {
    switch (k.zustand) {
    case Z::Gebucht: k.zustand = nak ? Z::Zwischen : Z::Zugestellt; break;
    case Z::Zwischen:
    case Z::Offen: k.zustand = k.zustand == Z::Zwischen ? Z::ZwischenEnde : Z::Zugestellt; break;
    case Z::Zugestellt:
    case Z::ZwischenEnde:
    case Z::Nachlauf: {  // a further reply of the same request
        W w = Wirk(W::Zustellen, kNormal);
        w.bZusatz = true;
        return w;
    }
    case Z::Verwaist:
    case Z::VerwaistOffen:
        // After a late NAK its final answer is stale too.
        k.zustand = nak ? Z::VerwaistOffen : Z::Frei;
        return Wirk(W::Verwerfen, kNormal, true);
    default: return Wirk(W::Verwerfen, kNormal);
    }
    return Wirk(W::Zustellen, kNormal);
}

// The live request takes any "@" reply (its sender judges it), unless the
// reply is told apart by its beginning as the answer given up on.
W At_Antwort(Kanalbuch& k, const Anfang& anfang) {
    const bool bVerspaetet = k.bVerwaist && Passt(anfang, k.verwaist);
    if (k.zustand == Z::Gebucht && (!bVerspaetet || Passt(anfang, k.erwartet))) {
        k.zustand = Z::Zugestellt;
        if (bVerspaetet) k.bVerwaist = false;  // alike: the first one is the live request's
        return Wirk(W::Zustellen, kAt);
    }
    if (bVerspaetet) {
        k.bVerwaist = false;
        return Wirk(W::Verwerfen, kAt, true);
    }
    return Wirk(W::Verwerfen, kAt);
}

W Nehmen(Kanalbuch& k, Kanal kanal) {
    switch (k.zustand) {
    case Z::Zugestellt: k.zustand = kanal == kAt ? Z::Frei : Z::Nachlauf; break;
    case Z::Zwischen: k.zustand = Z::Offen; break;
    case Z::ZwischenEnde: k.zustand = Z::Zugestellt; break;
    case Z::Nachlauf: break;
    default: return {};
    }
    return Wirk(W::Uebergeben, kanal);
}

// The sender is not coming for what it is owed. Given up (`bStale`): an
// answer still to come is dropped when it comes, and a normal one keeps the
// normal gate shut till then. Released: owed to nobody, dropped as unexpected.
W Loslassen(Kanalbuch& k, Kanal kanal, bool bStale) {
    const Z vorher = k.zustand;
    k.zustand = Z::Frei;
    if (bStale && vorher == Z::Gebucht) {
        if (kanal == kAt) {
            k.bVerwaist = true;
            k.verwaist = k.erwartet;
        } else {
            k.zustand = Z::Verwaist;
        }
    } else if (bStale && (vorher == Z::Offen || vorher == Z::Zwischen || vorher == Z::VerwaistOffen)) {
        k.zustand = Z::VerwaistOffen;
    } else if (bStale && vorher == Z::Verwaist) {
        k.zustand = Z::Verwaist;
    }
    const bool bPost = vorher == Z::Zugestellt || vorher == Z::Zwischen || vorher == Z::ZwischenEnde ||
                       vorher == Z::Nachlauf;
    return bPost ? Wirk(W::Postfach_leeren, kanal, bStale) : W {};
}

// A routine that is over never takes the answer it was owed.
W Beenden(Kanalbuch& k, Kanal kanal) {
    const W w = Loslassen(k, kanal, true);
    k.sender = kKeiner;
    return w;
}

W Warten(Kanalbuch& k) {
    // Waiting again after giving up: the answer is its own after all.
    if (k.zustand == Z::Verwaist) k.zustand = Z::Gebucht;
    if (k.zustand == Z::VerwaistOffen) k.zustand = Z::Offen;
    return {};
}

W Senden(Kanalbuch& k, Kanal kanal, const Ereignis& e) {
    const bool bNachlauf = k.zustand == Z::Nachlauf;
    k.zustand = Z::Gebucht;
    k.sender = e.sender;
    if (kanal == kAt) {
        k.erwartet = e.anfang;
        return {};
    }
    // Replies nobody came for cannot answer a request not yet written.
    W w = bNachlauf ? Wirk(W::Postfach_leeren, kNormal) : W {};
    w.bTeilVerwerfen = true;
    return w;
}

bool Eigenes(const Kanalbuch& k, const Ereignis& e) {
    return k.zustand != Z::Frei && k.zustand != Z::Weg && k.sender == e.sender && e.sender != kKeiner;
}

}  // namespace

Anfang Erwarteter_Anfang(const char* szRequest) {
    Anfang a;
    if (std::strncmp(szRequest, "@R", 2) == 0 || std::strncmp(szRequest, "@S", 2) == 0) {
        std::memcpy(a.c, "@RS", 3);
    } else if (std::strncmp(szRequest, "@C", 2) == 0) {
        std::memcpy(a.c, "@A", 2);
    } else {
        std::memcpy(a.c, szRequest, strnlen(szRequest, 2));
    }
    return a;
}

Anfang Anfang_von(const char* szAntwort) {
    Anfang a;
    std::memcpy(a.c, szAntwort, strnlen(szAntwort, 3));
    return a;
}

bool Passt(const Anfang& antwort, const Anfang& erwartet) {
    return std::strncmp(antwort.c, erwartet.c, std::strlen(erwartet.c)) == 0;
}

// A request awaiting its first answer keeps both gates shut; a normal request
// keeps the normal gate shut until its final answer is taken or given up on.
// On a gone line both stand open: a request goes out into nothing, and its
// wait fails at once.
bool Buch::NormalOffen() const {
    const Z n = k[kNormal].zustand;
    return Weg() || ((n == Z::Frei || n == Z::Nachlauf) && k[kAt].zustand != Z::Gebucht);
}

bool Buch::AtOffen() const {
    return Weg() || (k[kAt].zustand == Z::Frei && k[kNormal].zustand != Z::Gebucht);
}

bool Buch::Weg() const { return k[kNormal].zustand == Z::Weg; }

Schritt_t Schritt(const Buch& alt, const Ereignis& e) {
    Schritt_t s {alt, {}};
    Buch& b = s.buch;
    Kanalbuch& k = b.k[e.kanal];
    switch (e.art) {
    case Ereignis::Gesendet:
        if (!(e.kanal == kAt ? b.AtOffen() : b.NormalOffen())) break;  // the other one passed first
        if (!b.Weg()) s.wirkung = Senden(k, e.kanal, e);
        s.wirkung.bZugelassen = true;
        break;
    case Ereignis::GesendetOhneAntwort:
        s.wirkung.bZugelassen = b.NormalOffen();
        break;
    case Ereignis::Antwort:
        s.wirkung = e.kanal == kAt ? At_Antwort(k, e.anfang) : Normale_Antwort(k, e.nak);
        break;
    case Ereignis::WartenBeginnt:
        if (Eigenes(k, e)) s.wirkung = Warten(k);
        break;
    case Ereignis::Genommen:
        if (Eigenes(k, e)) s.wirkung = Nehmen(k, e.kanal);
        break;
    case Ereignis::Aufgegeben:
        if (Eigenes(k, e)) s.wirkung = Loslassen(k, e.kanal, true);
        break;
    case Ereignis::Abgebrochen:
        if (Eigenes(k, e)) s.wirkung = Beenden(k, e.kanal);
        break;
    case Ereignis::Freigeben:
        if (Eigenes(k, e)) s.wirkung = Loslassen(k, e.kanal, false);
        break;
    case Ereignis::ResetBestaetigt:
        // The open request's "!" comes as a reply of its own.
        break;
    case Ereignis::LeitungWeg:
        // Nothing owed comes over a gone line; waits end through the line's own event.
        b = Buch {};
        b.k[kNormal].zustand = b.k[kAt].zustand = Z::Weg;
        s.wirkung = Wirk(W::Alles_leeren, kNormal, true);
        break;
    case Ereignis::LeitungWieder:
        if (b.Weg()) b = Buch {};
        break;
    case Ereignis::Neuaufbau:
        b = Buch {};
        s.wirkung = Wirk(W::Alles_leeren, kNormal, true);
        break;
    }
    // A free channel remembers nobody.
    for (Kanalbuch& kb : b.k) {
        if (!kb.bVerwaist) kb.verwaist = {};
        if (kb.zustand != Z::Frei) continue;
        kb.sender = kKeiner;
        kb.erwartet = {};
    }
    return s;
}

const char* Name(Zustand z) {
    static const char* const kNamen[] = {"Frei",     "Gebucht",  "Zugestellt", "Zwischen",      "ZwischenEnde",
                                         "Offen",    "Nachlauf", "Verwaist",   "VerwaistOffen", "Weg"};
    return kNamen[static_cast<int>(z)];
}

}  // namespace buch
