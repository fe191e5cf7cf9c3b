#include "app/files/file_lines.h"

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
using Liste = std::vector<std::string>;

struct TeilFall {
    std::string name;
    std::string text;
    Liste zeilen;
};

class ZeilenTrennen : public ::testing::TestWithParam<TeilFall> {};

TEST_P(ZeilenTrennen, TrenntAnCrLfCrUndLf) {
    EXPECT_EQ(SplitLines(GetParam().text), GetParam().zeilen);
}

INSTANTIATE_TEST_SUITE_P(
    Umbrueche, ZeilenTrennen,
    ::testing::Values(
        TeilFall{"Leer", "", {}},
        TeilFall{"CrLf", "a\r\nb\r\n", {"a", "b"}},
        TeilFall{"NurCr", "a\rb\r", {"a", "b"}},
        TeilFall{"NurLf", "a\nb\n", {"a", "b"}},
        TeilFall{"OhneLetztenUmbruch", "a\r\nb", {"a", "b"}},
        TeilFall{"Gemischt", "a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        TeilFall{"LfCrSindZweiUmbrueche", "a\n\rb", {"a", "", "b"}},
        TeilFall{"CrCrLf", "a\r\r\nb", {"a", "", "b"}},
        TeilFall{"LeereZeilen", "\r\n\r\n", {"", ""}},
        TeilFall{"NurUmbruch", "\n", {""}},
        TeilFall{"AchtBit", "\xE4\xF6\xFC\xFF\r\n\x80", {"\xE4\xF6\xFC\xFF", "\x80"}},
        TeilFall{"Nullbyte", std::string("a\0b\n", 4), {std::string("a\0b", 3)}}),
    [](const auto& info) { return info.param.name; });

TEST(StripTrailing, EntferntNurZeichenBis32AmEnde) {
    EXPECT_EQ(StripTrailing("L1,x200 \t \x01\x1F"), "L1,x200");
    EXPECT_EQ(StripTrailing(" \tA1,1"), " \tA1,1");
    EXPECT_EQ(StripTrailing("a b"), "a b");
    EXPECT_EQ(StripTrailing(" \t "), "");
    EXPECT_EQ(StripTrailing(std::string("x\0", 2)), "x");
    // Bytes above 127 are not control characters, even where char is signed.
    EXPECT_EQ(StripTrailing("Gr\xF6\xDF\xE4"), "Gr\xF6\xDF\xE4");
    EXPECT_EQ(StripTrailing("x\xA0"), "x\xA0");
}

struct SendeFall {
    std::string zeile;
    bool senden;
};

class ProgrammZeile : public ::testing::TestWithParam<SendeFall> {};

TEST_P(ProgrammZeile, NurBefehleWerdenGesendet) {
    EXPECT_EQ(IsProgramLineToSend(StripTrailing(GetParam().zeile)), GetParam().senden);
}

INSTANTIATE_TEST_SUITE_P(
    Regeln, ProgrammZeile,
    ::testing::Values(SendeFall{"A1,1", true}, SendeFall{"", false}, SendeFall{"   \t", false},
                      SendeFall{"'Vektorfahrt x-Achse", false}, SendeFall{"/ Kommentar", false},
                      SendeFall{"'", false}, SendeFall{"/", false},
                      SendeFall{" 'eingerueckt", true}, SendeFall{"L1,x200 'Rest", true},
                      SendeFall{"W500/2", true}, SendeFall{"@IG", true},
                      SendeFall{"\t/", true}));

std::string Zeile(std::size_t laenge) { return std::string(laenge, 'x'); }

TEST(ZuLangeZeilen, ProgrammzeileBis126) {
    EXPECT_FALSE(FirstTooLongProgramLine({Zeile(126), Zeile(126) + "   \t"}));
    const auto fehler = FirstTooLongProgramLine({"A1,1", Zeile(126), Zeile(127), Zeile(300)});
    ASSERT_TRUE(fehler);
    EXPECT_EQ(fehler->nummer, 3u);
    EXPECT_EQ(fehler->laenge, 127u);
    EXPECT_EQ(fehler->hoechstens, 126u);
}

TEST(ZuLangeZeilen, LangeKommentareStoerenNicht) {
    EXPECT_FALSE(FirstTooLongProgramLine({"'" + Zeile(300), "/" + Zeile(300), "", "W500"}));
    const auto fehler = FirstTooLongProgramLine({"'" + Zeile(300), "", Zeile(300)});
    ASSERT_TRUE(fehler);
    EXPECT_EQ(fehler->nummer, 3u);
    EXPECT_EQ(fehler->laenge, 300u);
}

TEST(ZuLangeZeilen, HeaderzeileBis127) {
    EXPECT_FALSE(FirstTooLongHeaderLine({Zeile(127), Zeile(127) + " "}));
    const auto fehler = FirstTooLongHeaderLine({"Header 1", "'" + Zeile(127), Zeile(300)});
    ASSERT_TRUE(fehler);
    EXPECT_EQ(fehler->nummer, 2u);
    EXPECT_EQ(fehler->laenge, 128u);
    EXPECT_EQ(fehler->hoechstens, 127u);
}

TEST(ZuLangeZeilen, MeldungNenntDateiZeileUndGrenze) {
    EXPECT_EQ(ZuLangeZeileText("programm3.txt", ZuLangeZeile{12, 300, 126}),
              "Zeile 12 der Datei 'programm3.txt' ist 300 Zeichen lang (erlaubt sind 126).");
}

class DateiLaden : public ::testing::Test {
protected:
    std::string Schreibe(const std::string& name, const std::string& inhalt) {
        const std::string pfad = (ordner_ / name).string();
        std::ofstream(pfad, std::ios::binary) << inhalt;
        return pfad;
    }
    TempDir dir_;
    fs::path ordner_{dir_.Path()};
};

TEST_F(DateiLaden, LiestZeilenMitAllenUmbruechen) {
    const DateiZeilen datei = LoadLines(Schreibe("befehle.txt", "#S200\r\n'x\rW100 \t\n\xE4"));
    ASSERT_TRUE(datei.ok());
    EXPECT_EQ(datei.zeilen, (Liste{"#S200", "'x", "W100 \t", "\xE4"}));
}

TEST_F(DateiLaden, LeereDateiHatKeineZeilen) {
    const DateiZeilen datei = LoadLines(Schreibe("ini.txt", ""));
    ASSERT_TRUE(datei.ok());
    EXPECT_TRUE(datei.zeilen.empty());
}

TEST_F(DateiLaden, GrosseDateiWirdGanzGelesen) {
    std::string inhalt;
    for (int i = 0; i < 20000; ++i) inhalt += "L1,X" + std::to_string(i) + "\r\n";
    const DateiZeilen datei = LoadLines(Schreibe("programm.txt", inhalt));
    ASSERT_TRUE(datei.ok());
    ASSERT_EQ(datei.zeilen.size(), 20000u);
    EXPECT_EQ(datei.zeilen.back(), "L1,X19999");
}

TEST_F(DateiLaden, FehlendeDateiWirdGemeldet) {
    const std::string pfad = (ordner_ / "programm9.txt").string();
    const DateiZeilen datei = LoadLines(pfad);
    ASSERT_FALSE(datei.ok());
    EXPECT_EQ(datei.fehler->datei, pfad);
    EXPECT_EQ(datei.fehler->fehlernummer, ENOENT);
    EXPECT_NE(datei.fehler->text.find("'" + pfad + "' kann nicht gelesen werden: "),
              std::string::npos);
}

TEST_F(DateiLaden, OrdnerStattDateiWirdGemeldet) {
    const DateiZeilen datei = LoadLines(ordner_.string());
    ASSERT_FALSE(datei.ok());
    EXPECT_NE(datei.fehler->text.find(ordner_.string()), std::string::npos);
}

TEST_F(DateiLaden, PipeOhneSchreiberBlockiertNicht) {
    const std::string pfad = (ordner_ / "header1.txt").string();
    ASSERT_EQ(mkfifo(pfad.c_str(), 0600), 0);
    const DateiZeilen datei = LoadLines(pfad);
    ASSERT_FALSE(datei.ok());
    EXPECT_NE(datei.fehler->text.find("header1.txt"), std::string::npos);
}

TEST_F(DateiLaden, UnlesbareDateiWirdGemeldet) {
    const std::string pfad = Schreibe("programm2.txt", "A1,1\r\n");
    fs::permissions(pfad, fs::perms::none);
    if (access(pfad.c_str(), R_OK) == 0) GTEST_SKIP() << "runs with rights to read any file";
    const DateiZeilen datei = LoadLines(pfad);
    ASSERT_FALSE(datei.ok());
    EXPECT_EQ(datei.fehler->fehlernummer, EACCES);
    EXPECT_NE(datei.fehler->text.find("programm2.txt"), std::string::npos);
}

}  // namespace

TEST(DateiZeilenNul, ANulInALineToBeSentRefusesTheFile) {
    const std::vector<std::string> programm = {"A1,1", std::string("A1\0,1", 5), "'kom\0mentar"};
    const auto z = FirstTooLongProgramLine(programm);
    ASSERT_TRUE(z.has_value());
    EXPECT_EQ(z->nummer, 2u);
    EXPECT_TRUE(z->enthaeltNul);
    EXPECT_EQ(ZuLangeZeileText("programm1.txt", *z),
              "Zeile 2 der Datei 'programm1.txt' enthält ein NUL-Zeichen und kann nicht gesendet werden.");
    EXPECT_FALSE(FirstTooLongProgramLine({"A1,1", std::string("'x\0y", 4)}).has_value());  // a comment is never sent
    EXPECT_TRUE(FirstTooLongHeaderLine({std::string("H\0", 2) + "x"}).has_value());
}
