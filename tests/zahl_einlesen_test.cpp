#include "routinen/zahl_einlesen.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Fall {
    std::string text;
    int32_t erwartet;
    bool istZahl;
};

void PrintTo(const Fall& fall, std::ostream* os) { *os << '"' << fall.text << '"'; }

class ZahlEinlesen : public ::testing::TestWithParam<Fall> {};

TEST_P(ZahlEinlesen, LiestWertUndMeldetObEsEineZahlWar) {
    const Fall& fall = GetParam();
    int32_t wert = 12345;
    EXPECT_EQ(Zahl_pruefen(fall.text, wert), fall.istZahl);
    EXPECT_EQ(wert, fall.erwartet);
    EXPECT_EQ(Zahl_einlesen(fall.text), fall.erwartet);
}

INSTANTIATE_TEST_SUITE_P(
    Eintraege, ZahlEinlesen,
    ::testing::Values(
        // Numbers, blanks anywhere ignored.
        Fall{"-25", -25, true}, Fall{"+7", 7, true}, Fall{" 1 000", 1000, true},
        Fall{" 12 ", 12, true}, Fall{"-7", -7, true}, Fall{"0", 0, true},
        Fall{"007", 7, true}, Fall{"- 5", -5, true},
        Fall{"2147483647", 2147483647, true}, Fall{"-2147483648", INT32_MIN, true},
        // Not numbers: read as 0.
        Fall{"", 0, false}, Fall{"abc", 0, false}, Fall{"12a", 0, false},
        Fall{"1.5", 0, false}, Fall{"0x10", 0, false}, Fall{"1\t2", 0, false},
        Fall{"\t5", 0, false}, Fall{"5\t", 0, false}, Fall{"\xE4", 0, false},
        // Digits and signs that still are no number.
        Fall{"1-2", 0, false}, Fall{"+", 0, false}, Fall{"-", 0, false},
        Fall{"--5", 0, false}, Fall{"+-3", 0, false}, Fall{"5-", 0, false},
        Fall{"99999999999", 0, false}, Fall{"2147483648", 0, false},
        Fall{"-2147483649", 0, false}, Fall{"4294967291", 0, false},
        // Blanks only.
        Fall{" ", 0, false}, Fall{"     ", 0, false},
        // Over-long: 31 non-blanks still fit, more do not.
        Fall{std::string(30, '0') + "9", 9, true},
        Fall{std::string(31, '0') + "9", 0, false},
        Fall{std::string(40, '9'), 0, false},
        Fall{std::string(31, '0') + "1x", 0, false},
        Fall{std::string(100, ' ') + "42" + std::string(100, ' '), 42, true}));

TEST(LeerzeichenEntfernen, EntferntNurBlanks) {
    std::string text = " 1\t2 3 ";
    Leerzeichen_entfernen(text);
    EXPECT_EQ(text, "1\t23");
}

TEST(LeerzeichenEntfernen, BehaeltHoechstens31Zeichen) {
    std::string text = std::string(20, '1') + " " + std::string(20, '2');
    Leerzeichen_entfernen(text);
    EXPECT_EQ(text, std::string(20, '1') + std::string(11, '2'));
}

TEST(ZiffernPruefen, NurZiffernUndVorzeichen) {
    EXPECT_TRUE(Ziffern_pruefen(""));
    EXPECT_TRUE(Ziffern_pruefen("+-0123456789"));
    EXPECT_FALSE(Ziffern_pruefen("1 2"));
    EXPECT_FALSE(Ziffern_pruefen("1a"));
    EXPECT_FALSE(Ziffern_pruefen(std::string("1\0", 2)));
}

}  // namespace
