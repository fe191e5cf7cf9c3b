// A port the operator may not open: the box, the protocol log's errno and
// the grey hint in the log pane. The console runs as nobody in a child
// process (root could open anything) against a pseudo-terminal whose
// permissions keep nobody out.
#include <fcntl.h>
#include <grp.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QTest>

#include <algorithm>
#include <iostream>

#include "support/als_nobody.h"
#include "support/konsole.h"

namespace {

// Runs the console as nobody on COM1 = the device; 0 when it showed what
// it should, otherwise prints what it showed.
int KonsoleAlsNobody(const std::string& geraet, const std::string& hinweis) {
    return AlsNobody([&] {
        int argc = 1;
        char name[] = "rechte_test";
        char* argv[] = {name, nullptr};
        QApplication app(argc, argv);
        Konsole k({{}, 0, {}, false});
        ::setenv("PELTO_COM1", geraet.c_str(), 1);
        k.Anzeigen();
        const auto zeilen = k.Zeilen();
        const auto farben = k.Farben();
        const auto protokoll = k.Protokoll();
        const bool ok = k.Boxen() == std::vector<std::string>{"Pelto-Befehle: HANDLE_COM_PORT_ERROR"} &&
                        !zeilen.empty() && zeilen.back() == hinweis && farben.back() == QColor(128, 128, 128) &&
                        std::count(protokoll.begin(), protokoll.end(),
                                   "keloCOM->Init(1, 115200) :: GetLastError()=13") == 1;
        if (!ok) {
            for (const auto& b : k.Boxen()) std::cerr << "box: " << b << "\n";
            for (const auto& z : zeilen) std::cerr << "pane: " << z << "\n";
            for (const auto& p : protokoll) std::cerr << "log: " << p << "\n";
        }
        return ok ? 0 : 1;
    });
}

}  // namespace

class Rechte : public QObject {
    Q_OBJECT
private slots:
    void hinweisNenntGeraetUndGruppe();
};

void Rechte::hinweisNenntGeraetUndGruppe() {
#ifdef __SANITIZE_THREAD__
    QSKIP("ThreadSanitizer cannot follow a window started in a forked child");
#endif
    if (::getuid() != 0) QSKIP("needs root to run the console as another user");
    const group* dialout = ::getgrnam("dialout");
    if (!dialout) QSKIP("no group dialout");
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0);
    const std::string pts = ::ptsname(master);
    QCOMPARE(::chown(pts.c_str(), 0, dialout->gr_gid), 0);
    struct Fall {
        mode_t rechte;
        std::string hinweis;
    };
    const Fall faelle[] = {
        {0660, "Keine Berechtigung für " + pts +
                   ": öffnen darf die Gruppe dialout. Abhilfe: sudo usermod -aG dialout $USER, danach neu anmelden."},
        // Not even the group may: a udev rule is the way.
        {0600, "Keine Berechtigung für " + pts +
                   " (Besitzer root, Gruppe dialout, Rechte 0600): eine udev-Regel mit GROUP=\"dialout\", "
                   "MODE=\"0660\" gibt sie frei."},
    };
    for (const Fall& f : faelle) {
        QCOMPARE(::chmod(pts.c_str(), f.rechte), 0);
        QCOMPARE(KonsoleAlsNobody(pts, f.hinweis), 0);
    }
    ::close(master);
}

QTEST_APPLESS_MAIN(Rechte)
#include "rechte_test.moc"
