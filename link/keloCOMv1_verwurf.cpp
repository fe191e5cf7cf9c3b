#include "link/keloCOMv1_verwurf.h"

#include "common/protokolldatei.h"

void TVerwurf::Schreiben(const std::string& zeile) {
    std::lock_guard lock(mutex_);
    const auto jetzt = Clock::now();
    if (jetzt - fenster_ >= std::chrono::seconds(1)) {
        ZaehlungSchreiben();
        fenster_ = jetzt;
        iImFenster_ = 0;
    }
    if (iImFenster_ < kZeilenJeSekunde) {
        ++iImFenster_;
        Protokolldatei_schreiben(zeile.c_str());
    } else {
        ++iGezaehlt_;
    }
}

void TVerwurf::Abschliessen() {
    std::lock_guard lock(mutex_);
    ZaehlungSchreiben();
}

void TVerwurf::ZaehlungSchreiben() {
    if (iGezaehlt_ == 0) return;
    const std::string zeile =
        "keloCOM_thread->Execute() :: " + std::to_string(iGezaehlt_) + " weitere Antworten verworfen";
    Protokolldatei_schreiben(zeile.c_str());
    iGezaehlt_ = 0;
}
