#include "routinen/file_lines.h"

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

// Which line of a file cannot go out, and why; comments and empty program
// lines are never sent, header lines always are.
struct UnsendbarFall {
    std::string name;
    bool kopf;
    Liste zeilen;
    std::size_t nummer;  // 0: every line can be sent
    Zeilenmangel mangel = Zeilenmangel::ZuLang;
    std::size_t laenge = 0;
    unsigned char zeichen = 0;
};

class Unsendbar : public ::testing::TestWithParam<UnsendbarFall> {};

TEST_P(Unsendbar, ErsteUnsendbareZeile) {
    const UnsendbarFall& f = GetParam();
    const auto z = f.kopf ? FirstUnsendableHeaderLine(f.zeilen) : FirstUnsendableProgramLine(f.zeilen);
    ASSERT_EQ(z.has_value(), f.nummer != 0);
    if (!z) return;
    EXPECT_EQ(z->nummer, f.nummer);
    EXPECT_EQ(z->mangel, f.mangel);
    if (f.mangel == Zeilenmangel::ZuLang) {
        EXPECT_EQ(z->laenge, f.laenge);
    }
    EXPECT_EQ(z->hoechstens, f.kopf ? 127u : 126u);
    EXPECT_EQ(z->zeichen, f.zeichen);
}

INSTANTIATE_TEST_SUITE_P(
    Zeilen, Unsendbar,
    ::testing::Values(
        UnsendbarFall{"Programm126", false, {Zeile(126), Zeile(126) + "   \t"}, 0},
        UnsendbarFall{"Programm127", false, {"A1,1", Zeile(126), Zeile(127), Zeile(300)}, 3, Zeilenmangel::ZuLang, 127},
        UnsendbarFall{"LangeKommentare", false, {"'" + Zeile(300), "/" + Zeile(300), "", "W500"}, 0},
        UnsendbarFall{"NachKommentar", false, {"'" + Zeile(300), "", Zeile(300)}, 3, Zeilenmangel::ZuLang, 300},
        UnsendbarFall{"Header127", true, {Zeile(127), Zeile(127) + " "}, 0},
        UnsendbarFall{"Header128", true, {"Header 1", "'" + Zeile(127), Zeile(300)}, 2, Zeilenmangel::ZuLang, 128},
        UnsendbarFall{"Nul", false, {"A1,1", std::string("A1\0,1", 5)}, 2, Zeilenmangel::Steuerzeichen, 0, 0},
        UnsendbarFall{"NulImKommentar", false, {"A1,1", std::string("'x\0y", 4)}, 0},
        UnsendbarFall{"NulImHeader", true, {std::string("H\0", 2) + "x"}, 1, Zeilenmangel::Steuerzeichen, 0, 0},
        UnsendbarFall{"Etx", false, {"A1,1", "\x03" "A2,1", "L1,x5000"}, 2, Zeilenmangel::Steuerzeichen, 0, 3},
        UnsendbarFall{"StxImHeader", true, {"Kopf\x02Rest"}, 1, Zeilenmangel::Steuerzeichen, 0, 2},
        UnsendbarFall{"Ack", false, {"A1\x06,1", "x"}, 1, Zeilenmangel::Steuerzeichen, 0, 6},
        UnsendbarFall{"Nak", false, {"A\x15" "1"}, 1, Zeilenmangel::Steuerzeichen, 0, 0x15},
        // Other control bytes are text: stored and read back as they are.
        UnsendbarFall{"Tab", false, {"A1,\t1"}, 0},
        UnsendbarFall{"Esc", true, {"H", "\x1b[0m"}, 0},
        UnsendbarFall{"Del", false, {"A1,1\x7f"}, 0},
        UnsendbarFall{"AtImProgramm", false, {"A1,1", "@R"}, 2, Zeilenmangel::AtAnfang},
        UnsendbarFall{"AtImHeader", true, {"@X"}, 1, Zeilenmangel::AtAnfang},
        UnsendbarFall{"AtInDerZeile", false, {"M@IL", "A@\x01"}, 0},
        UnsendbarFall{"AtInKommentar", false, {"'@R"}, 0},
        UnsendbarFall{"SteuerzeichenAmEndeFallenWeg", false, {"A1,1\x03\x15 "}, 0},
        UnsendbarFall{"AchtBitIstText", true, {"Gr\xF6\xDF\xE4"}, 0},
        UnsendbarFall{"LeereHeaderzeile", true, {"Kopf", ""}, 2, Zeilenmangel::Leer},
        UnsendbarFall{"BlankeHeaderzeile", true, {"Kopf", " \t ", "x"}, 2, Zeilenmangel::Leer},
        UnsendbarFall{"LeereProgrammzeile", false, {"A1,1", "", "  "}, 0}),
    [](const auto& info) { return info.param.name; });

TEST(Unsendbar, MeldungNenntDateiZeileUndGrund) {
    EXPECT_EQ(UnsendbareZeileText("programm3.txt", UnsendbareZeile{12, Zeilenmangel::ZuLang, 300, 126}),
              "Zeile 12 der Datei 'programm3.txt' ist 300 Zeichen lang (erlaubt sind 126).");
    EXPECT_EQ(UnsendbareZeileText("programm1.txt", UnsendbareZeile{2, Zeilenmangel::Steuerzeichen, 5, 126, 0}),
              "Zeile 2 der Datei 'programm1.txt' enthält ein NUL-Zeichen und kann nicht gesendet werden.");
    EXPECT_EQ(UnsendbareZeileText("programm1.txt", UnsendbareZeile{2, Zeilenmangel::Steuerzeichen, 5, 126, 3}),
              "Zeile 2 der Datei 'programm1.txt' enthält das Steuerzeichen ETX und kann nicht gesendet werden.");
    EXPECT_EQ(UnsendbareZeileText("header1.txt", UnsendbareZeile{3, Zeilenmangel::Leer, 0, 127}),
              "Zeile 3 der Datei 'header1.txt' ist leer; eine leere Header-Zeile kann nicht gesendet werden.");
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

TEST_F(DateiLaden, ByteOrderMarkWirdUebersprungen) {
    const DateiZeilen datei = LoadLines(Schreibe("ini.txt", "\xEF\xBB\xBF" "c,x100\r\n\xEF\xBB\xBF"));
    ASSERT_TRUE(datei.ok());
    EXPECT_EQ(datei.zeilen, (Liste{"c,x100", "\xEF\xBB\xBF"}));  // only at the very start
}

// A huge sparse file is refused by its size, before it is read.
TEST_F(DateiLaden, UebergrosseDateiWirdNichtGelesen) {
    const std::string pfad = Schreibe("befehle.txt", "A1,1\r\n");
    fs::resize_file(pfad, 2ull << 30);
    const DateiZeilen datei = LoadLines(pfad);
    ASSERT_FALSE(datei.ok());
    EXPECT_EQ(datei.fehler->text, "Die Datei '" + pfad + "' ist 2147483648 Bytes groß (erlaubt sind 1048576).");
    fs::resize_file(pfad, kMaxDateigroesse);
    EXPECT_TRUE(LoadLines(pfad).ok());
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
