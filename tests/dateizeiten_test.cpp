#include "routinen/dateizeiten.h"

#include <gtest/gtest.h>

#include "support/temp_dir.h"

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

// 2013-01-21 08:00:00 UTC
constexpr time_t kVersionSekunden = 1358755200;

class Dateizeiten : public ::testing::Test {
protected:
    std::string Datei(const std::string& name) const {
        const std::string pfad = (ordner_ / name).string();
        std::ofstream(pfad) << "x";
        return pfad;
    }
    static struct stat Zeiten(const std::string& pfad) {
        struct stat st{};
        EXPECT_EQ(lstat(pfad.c_str(), &st), 0) << pfad;
        return st;
    }
    static bool Gestempelt(const std::string& pfad) {
        const struct stat st = Zeiten(pfad);
        return st.st_mtim.tv_sec == kVersionSekunden && st.st_atim.tv_sec == kVersionSekunden &&
               st.st_mtim.tv_nsec == 0;
    }
    int Setzen(const std::string& ext1 = "txt", const std::string& ext2 = "") const {
        return Dateizeiten_setzen(ordner_.string(), kVersionszeit, ext1, ext2);
    }
    TempDir dir_;
    fs::path ordner_{dir_.Path()};
};

TEST(DateizeitenMuster, DreizehnArtenDannDieZusaetze) {
    const std::vector<std::string> fest{"*.cpp", "*.h",   "*.dfm", "*.res", "*.bpr",
                                        "*.dat", "*.fpc", "*.obj", "*.exe", "*.txt",
                                        "*.lnk", "*.bat", "*.png"};
    EXPECT_EQ(Dateizeiten_Muster("", ""), fest);
    std::vector<std::string> mitZusatz = fest;
    mitZusatz.push_back("*.txt");
    EXPECT_EQ(Dateizeiten_Muster("txt", ""), mitZusatz);
    EXPECT_EQ(Dateizeiten_Muster("", "txt"), mitZusatz);
    mitZusatz.push_back("*.ini");
    EXPECT_EQ(Dateizeiten_Muster("txt", "ini"), mitZusatz);
}

TEST(Versionszeit, MontagEinundzwanzigsterJanuar2013AchtUhr) {
    EXPECT_EQ(kVersionszeit.year, 2013);
    EXPECT_EQ(kVersionszeit.month, 1);
    EXPECT_EQ(kVersionszeit.dayOfWeek, 1);
    EXPECT_EQ(kVersionszeit.day, 21);
    EXPECT_EQ(kVersionszeit.hour, 8);
    EXPECT_EQ(kVersionszeit.minute + kVersionszeit.second + kVersionszeit.milliseconds, 0);
}

TEST_F(Dateizeiten, StempeltPassendeDateienInUtc) {
    const std::vector<std::string> passend{"a.cpp", "a.h", "f.dfm", "r.res", "p.bpr", "d.dat",
                                           "x.fpc", "o.obj", "p.exe", "l.lnk", "b.bat", "i.png"};
    for (const auto& name : passend) Datei(name);
    EXPECT_EQ(Setzen("", ""), static_cast<int>(passend.size()));
    for (const auto& name : passend) EXPECT_TRUE(Gestempelt((ordner_ / name).string())) << name;
}

TEST_F(Dateizeiten, TxtWirdMitZusatzZweimalGestempelt) {
    const std::string txt = Datei("programm1.txt");
    EXPECT_EQ(Setzen("txt", ""), 2);
    EXPECT_TRUE(Gestempelt(txt));
    EXPECT_EQ(Setzen("", ""), 1);
}

TEST_F(Dateizeiten, AndereDateienBleibenUnberuehrt) {
    const std::vector<std::string> fremd{"a.TXT", "a.hpp", "a.txt.bak", "txt", "Makefile",
                                         ".versteckt.txt"};
    for (const auto& name : fremd) Datei(name);
    fs::create_directory(ordner_ / "ordner.txt");
    EXPECT_EQ(Setzen(), 0);
    for (const auto& name : fremd) EXPECT_FALSE(Gestempelt((ordner_ / name).string())) << name;
    EXPECT_FALSE(Gestempelt((ordner_ / "ordner.txt").string()));
}

TEST_F(Dateizeiten, VerknuepfungenWerdenNichtVerfolgt) {
    const fs::path aussen = ordner_ / "aussen";
    fs::create_directory(aussen);
    std::ofstream(aussen / "ziel.dat") << "x";
    fs::create_symlink(aussen / "ziel.dat", ordner_ / "link.txt");
    EXPECT_EQ(Setzen(), 0);
    EXPECT_FALSE(Gestempelt((aussen / "ziel.dat").string()));
}

TEST_F(Dateizeiten, ZusatzendungMitBeliebigemNamen) {
    const std::string ini = Datei("setup.ini");
    EXPECT_EQ(Setzen("", "ini"), 1);
    EXPECT_TRUE(Gestempelt(ini));
}

TEST_F(Dateizeiten, SchreibgeschuetzteDateiWirdUebersprungen) {
    const std::string pfad = Datei("nur_lesen.txt");
    fs::permissions(pfad, fs::perms::owner_read);
    if (access(pfad.c_str(), W_OK) == 0) GTEST_SKIP() << "runs with rights to write any file";
    EXPECT_EQ(Setzen(), 0);
    EXPECT_FALSE(Gestempelt(pfad));
}

TEST_F(Dateizeiten, UngueltigeZeitOderOrdnerStempeltNichts) {
    const std::string pfad = Datei("a.txt");
    SystemTime falsch = kVersionszeit;
    falsch.month = 13;
    EXPECT_EQ(Dateizeiten_setzen(ordner_.string(), falsch, "", ""), 0);
    EXPECT_EQ(Dateizeiten_setzen((ordner_ / "fehlt").string(), kVersionszeit, "", ""), 0);
    EXPECT_FALSE(Gestempelt(pfad));
}

TEST_F(Dateizeiten, MillisekundenWerdenUebernommen) {
    const std::string pfad = Datei("a.dat");
    SystemTime zeit = kVersionszeit;
    zeit.milliseconds = 250;
    EXPECT_EQ(Dateizeiten_setzen(ordner_.string(), zeit, "", ""), 1);
    EXPECT_EQ(Zeiten(pfad).st_mtim.tv_nsec, 250000000L);
    EXPECT_EQ(Zeiten(pfad).st_mtim.tv_sec, kVersionSekunden);
}

TEST(Programmordner, IstDerOrdnerDerLaufendenDatei) {
    const std::string ordner = Programmordner();
    ASSERT_FALSE(ordner.empty());
    EXPECT_EQ(ordner.back(), '/');
    EXPECT_TRUE(fs::exists(fs::path(ordner) / "dateizeiten_test"));
}

}  // namespace
