#include "routinen/default_files.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Liste = std::vector<std::string>;

const Liste kReihenfolge{"programm.txt",  "header.txt",    "programm1.txt", "programm2.txt",
                         "programm3.txt", "programm4.txt", "programm5.txt", "programm6.txt",
                         "programm7.txt", "header1.txt",   "header2.txt",   "header3.txt",
                         "header4.txt",   "header5.txt",   "header6.txt",   "header7.txt",
                         "ini.txt",       "befehle.txt"};

std::string Programmdatei(const char* xZeile, const char* yZeile) {
    return std::string("A1,1\r\n#S200\r\n#E1,500\r\n#R250\r\n'Vektorfahrt x-Achse\r\n") + xZeile +
           "\r\nW500\r\n#E2,500\r\n#R250\r\n'Vektorfahrt y-Achse\r\n" + yZeile + "\r\nA1,0\r\n";
}

class StandarddateienTest : public ::testing::Test {
protected:
    std::string Lies(const std::string& name) const {
        std::ifstream datei(ordner_ / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(datei), {}};
    }
    void Schreibe(const std::string& name, const std::string& inhalt) const {
        std::ofstream(ordner_ / name, std::ios::binary) << inhalt;
    }
    Liste Eintraege() const {
        Liste namen;
        for (const auto& e : fs::directory_iterator(ordner_)) namen.push_back(e.path().filename());
        std::sort(namen.begin(), namen.end());
        return namen;
    }
    static Liste Sortiert(Liste namen) {
        std::sort(namen.begin(), namen.end());
        return namen;
    }
    TempDir dir_;
    fs::path ordner_{dir_.Path()};
};

TEST_F(StandarddateienTest, LeererOrdnerBekommtAlleAchtzehnInDieserReihenfolge) {
    const StandarddateienErgebnis ergebnis = Standarddateien_schreiben(ordner_.string());
    ASSERT_TRUE(ergebnis.ok()) << ergebnis.fehler->text;
    EXPECT_EQ(ergebnis.geschrieben, kReihenfolge);
    EXPECT_EQ(Eintraege(), Sortiert(kReihenfolge));  // no leftovers of the writing
}

TEST_F(StandarddateienTest, Testprogramm) {
    ASSERT_TRUE(Standarddateien_schreiben(ordner_.string()).ok());
    const std::string inhalt = Lies("programm.txt");
    EXPECT_EQ(inhalt.size(), 72083u);
    EXPECT_EQ(inhalt.substr(0, 22), "L1,X00000\r\nL1,X00001\r\n");
    EXPECT_EQ(inhalt.substr(inhalt.size() - 22), "L1,X06551\r\nL1,X06552\r\n");
    EXPECT_EQ(inhalt.find("L1,X06553"), std::string::npos);
    EXPECT_EQ(inhalt.substr(11 * 4711, 11), "L1,X04711\r\n");
    EXPECT_EQ(Lies("header.txt"), "eine_65kByte_grosse_Testdatei_in_30_Sekunden_schreiben\r\n");
}

TEST_F(StandarddateienTest, ProgrammUndHeaderJeSlot) {
    ASSERT_TRUE(Standarddateien_schreiben(ordner_.string()).ok());
    const char* x[] = {"L1,x100", "L1,x200", "L1,x300", "L1,x400", "L1,x500", "L1,x600", "L1,x700"};
    const char* y[] = {"L2,y200",  "L2,y400",  "L2,y600", "L2,y800",
                       "L2,y1000", "L2,y1200", "L2,y1400"};
    for (int k = 1; k <= 7; ++k) {
        SCOPED_TRACE(k);
        const std::string n = std::to_string(k);
        EXPECT_EQ(Lies("programm" + n + ".txt"), Programmdatei(x[k - 1], y[k - 1]));
        EXPECT_EQ(Lies("header" + n + ".txt"), "Header " + n + "\r\n");
    }
    const DateiZeilen sieben = LoadLines((ordner_ / "programm7.txt").string());
    ASSERT_TRUE(sieben.ok());
    ASSERT_EQ(sieben.zeilen.size(), 12u);
    EXPECT_EQ(sieben.zeilen[10], "L2,y1400");
}

TEST_F(StandarddateienTest, Befehlsdateien) {
    ASSERT_TRUE(Standarddateien_schreiben(ordner_.string()).ok());
    EXPECT_EQ(Lies("ini.txt"), "c,x100\r\nc,y100\r\nc,z100\r\nc,u100\r\n");
    EXPECT_EQ(Lies("befehle.txt"),
              "#S200\r\n#E1,500\r\n#R250\r\n"
              "A1,1\r\nL1,x200\r\nW100\r\nL1,x-200\r\nA1,0\r\n"
              "A2,1\r\nL1,y200\r\nW100\r\nL1,y-200\r\nA2,0\r\n"
              "A3,1\r\nL1,z200\r\nW100\r\nL1,z-200\r\nA3,0\r\n");
}

TEST_F(StandarddateienTest, BearbeiteteDateienBleibenUnveraendert) {
    Schreibe("header.txt", "mein Header");
    Schreibe("programm4.txt", "");
    fs::create_directory(ordner_ / "ini.txt");
    fs::create_symlink(ordner_ / "woanders.txt", ordner_ / "befehle.txt");
    const StandarddateienErgebnis ergebnis = Standarddateien_schreiben(ordner_.string());
    ASSERT_TRUE(ergebnis.ok()) << ergebnis.fehler->text;
    EXPECT_EQ(Lies("header.txt"), "mein Header");
    EXPECT_EQ(Lies("programm4.txt"), "");
    EXPECT_TRUE(fs::is_directory(ordner_ / "ini.txt"));
    EXPECT_FALSE(fs::exists(ordner_ / "woanders.txt"));  // not written through the link
    Liste erwartet = kReihenfolge;
    std::erase_if(erwartet, [](const std::string& n) {
        return n == "header.txt" || n == "programm4.txt" || n == "ini.txt" || n == "befehle.txt";
    });
    EXPECT_EQ(ergebnis.geschrieben, erwartet);
}

TEST_F(StandarddateienTest, ZweiterLaufSchreibtNichts) {
    ASSERT_TRUE(Standarddateien_schreiben(ordner_.string()).ok());
    Schreibe("programm1.txt", "A1,1\r\n");
    const StandarddateienErgebnis zweiter = Standarddateien_schreiben(ordner_.string());
    ASSERT_TRUE(zweiter.ok());
    EXPECT_TRUE(zweiter.geschrieben.empty());
    EXPECT_EQ(Lies("programm1.txt"), "A1,1\r\n");
}

TEST_F(StandarddateienTest, DateiAnlegenUeberschreibtNie) {
    Schreibe("ini.txt", "alt");
    const AnlegenErgebnis ergebnis = Datei_anlegen(ordner_.string(), "ini.txt", "neu");
    EXPECT_FALSE(ergebnis.geschrieben);
    EXPECT_FALSE(ergebnis.fehler);
    EXPECT_EQ(Lies("ini.txt"), "alt");
}

TEST_F(StandarddateienTest, FehlenderOrdnerWirdMitDateinamenGemeldet) {
    const StandarddateienErgebnis ergebnis =
        Standarddateien_schreiben((ordner_ / "gibt_es_nicht").string());
    ASSERT_FALSE(ergebnis.ok());
    EXPECT_EQ(ergebnis.fehler->datei, "programm.txt");
    EXPECT_TRUE(ergebnis.fehler->text.starts_with(
        "Die Datei 'programm.txt' kann nicht geschrieben werden: "));
    EXPECT_TRUE(ergebnis.geschrieben.empty());
}

TEST_F(StandarddateienTest, SchreibgeschuetzterOrdnerWirdGemeldet) {
    fs::permissions(ordner_, fs::perms::owner_read | fs::perms::owner_exec);
    if (access(ordner_.c_str(), W_OK) == 0) GTEST_SKIP() << "runs with rights to write anywhere";
    const StandarddateienErgebnis ergebnis = Standarddateien_schreiben(ordner_.string());
    ASSERT_FALSE(ergebnis.ok());
    EXPECT_EQ(ergebnis.fehler->datei, "programm.txt");
    EXPECT_EQ(ergebnis.fehler->fehlernummer, EACCES);
    EXPECT_TRUE(Eintraege().empty());
}

// A file size limit makes the write of the 72083-byte test program fail
// half way, as a full disk would.
class Groessengrenze {
public:
    explicit Groessengrenze(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &alt_);
        signal_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit neu = alt_;
        neu.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &neu);
    }
    ~Groessengrenze() {
        setrlimit(RLIMIT_FSIZE, &alt_);
        std::signal(SIGXFSZ, signal_);
    }

private:
    rlimit alt_{};
    void (*signal_)(int);
};

TEST_F(StandarddateienTest, AbgebrochenesSchreibenHinterlaesstKeineHalbeDatei) {
    StandarddateienErgebnis ergebnis;
    {
        Groessengrenze grenze(4096);
        ergebnis = Standarddateien_schreiben(ordner_.string());
    }
    ASSERT_FALSE(ergebnis.ok());
    EXPECT_EQ(ergebnis.fehler->datei, "programm.txt");
    EXPECT_EQ(ergebnis.fehler->fehlernummer, EFBIG);
    EXPECT_NE(ergebnis.fehler->text.find("'programm.txt'"), std::string::npos);
    EXPECT_TRUE(Eintraege().empty());

    const StandarddateienErgebnis danach = Standarddateien_schreiben(ordner_.string());
    ASSERT_TRUE(danach.ok());
    EXPECT_EQ(Lies("programm.txt").size(), 72083u);
}

}  // namespace
