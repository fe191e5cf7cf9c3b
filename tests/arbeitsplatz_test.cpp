// An installed console: its start options, the working folder of a start
// from the desktop entry, and the protocol log where the executable's folder
// is not writable.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "routinen/arbeitsordner.h"
#include "routinen/startoptionen.h"
#include "common/protokolldatei.h"
#include "support/als_nobody.h"
#include "support/temp_dir.h"
#include "support/crlf_lines.h"

#include <gtest/gtest.h>

namespace {

TEST(Startoptionen, HelpAndDesktopAmongTheWindowsOptions) {
    struct Fall {
        std::vector<const char*> argv;
        bool hilfe, desktop;
    };
    const Fall faelle[] = {{{"pelto-befehle"}, false, false},
                           {{"pelto-befehle", "/KELO", "--desktop"}, false, true},
                           {{"pelto-befehle", "--help"}, true, false},
                           {{"pelto-befehle", "/UACHSE", "-h", "--desktop"}, true, true},
                           {{"pelto-befehle", "--HELP", "--desktop=1", "desktop"}, false, false}};
    for (const Fall& f : faelle) {
        const Startoptionen o(static_cast<int>(f.argv.size()), f.argv.data());
        EXPECT_EQ(o.hilfe, f.hilfe) << f.argv.size();
        EXPECT_EQ(o.desktop, f.desktop) << f.argv.size();
    }
}

TEST(Arbeitsordner, DesktopStartWorksInItsOwnFolderBelowHome) {
    TempDir home;
    char alt[PATH_MAX] = {};
    ASSERT_TRUE(::getcwd(alt, sizeof alt));
    const char* altesHome = std::getenv("HOME");
    const std::string merken = altesHome ? altesHome : "";
    ::setenv("HOME", home.Path().c_str(), 1);
    const std::string ordner = Arbeitsordner_Desktop();
    EXPECT_EQ(ordner, home.Path() + "/Pelto-Befehle");
    ASSERT_EQ(::chdir(home.Path().c_str()), 0);
    for (int start = 0; start < 2; ++start) {  // created once, then found
        EXPECT_EQ(Arbeitsordner_betreten(ordner), "");
        EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(ordner));
    }
    { std::ofstream(home.File("datei")) << "x"; }
    EXPECT_NE(Arbeitsordner_betreten(home.File("datei")), "");  // a file in the way
    EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(ordner));
    ::setenv("HOME", merken.c_str(), 1);
    ASSERT_EQ(::chdir(alt), 0);
}

// The test's own folder belongs to root: for nobody it is an installed
// program's read-only folder.
TEST(Protokolldatei, FallsBackToTheStateFolderWhereTheExecutablesFolderIsReadOnly) {
    struct Fall {
        const char* xdg;  // null: unset
        const char* erwartet;  // below the test's temporary folder
    };
    const Fall faelle[] = {{nullptr, "/home/.local/state/pelto-befehle/~protokoll.log"},
                           {"/state", "/state/pelto-befehle/~protokoll.log"},
                           {"relativ", "/home/.local/state/pelto-befehle/~protokoll.log"}};
    for (const Fall& f : faelle) {
        TempDir tmp;
        ::chmod(tmp.Path().c_str(), 0755);
        for (const char* sub : {"/home", "/state"}) {
            ::mkdir((tmp.Path() + sub).c_str(), 0755);
            ASSERT_EQ(::chown((tmp.Path() + sub).c_str(), kNobody, kNobody), 0) << "needs root";
        }
        const std::string xdg = f.xdg && f.xdg[0] == '/' ? tmp.Path() + f.xdg : (f.xdg ? f.xdg : "");
        auto schreiben = [&](const char* zeile) {
            return AlsNobody([&] {
                if (::access(std::filesystem::read_symlink("/proc/self/exe").parent_path().c_str(), W_OK) == 0)
                    return 77;
                ::setenv("HOME", (tmp.Path() + "/home").c_str(), 1);
                f.xdg ? ::setenv("XDG_STATE_HOME", xdg.c_str(), 1) : ::unsetenv("XDG_STATE_HOME");
                Protokolldatei_schreiben(zeile);
                return Protokolldatei_Pfad() == tmp.Path() + f.erwartet ? 0 : 1;
            });
        };
        const int rc = schreiben("V\r");
        if (rc == -1 || rc == 77) GTEST_SKIP() << "needs root and a test folder nobody may not write";
        EXPECT_EQ(rc, 0) << f.erwartet;
        EXPECT_EQ(schreiben("\x15" "E7\x07"), 0);  // a second run appends
        EXPECT_EQ(Lesen(tmp.Path() + f.erwartet), "V<CR>\r\n<NAK>E7<BEL>\r\n") << f.erwartet;
    }
}

}  // namespace
