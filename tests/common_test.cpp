// Error texts, the message box routing and the protocol log file.
#include <sys/stat.h>

#include <filesystem>
#include <cstring>
#include <fstream>
#include <sstream>

#include "common/fehler.h"
#include "common/protokolldatei.h"
#include "common/steuerzeichen.h"
#include "support/dialog_recorder.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace {

struct CodeCase {
    int32_t code;
    const char* shown;  // what Fehler_melden shows
};

class FehlerMelden : public ::testing::TestWithParam<CodeCase> {};

TEST_P(FehlerMelden, ShowsNameOrText) {
    DialogRecorder rec;
    Fehler_melden(GetParam().code, "Pelto-Befehle");
    ASSERT_EQ(rec.Boxes().size(), 1u);
    EXPECT_EQ(rec.Boxes()[0].text, GetParam().shown);
    EXPECT_EQ(rec.Boxes()[0].caption, "Pelto-Befehle");
    EXPECT_EQ(rec.Boxes()[0].icon, MessageIcon::Warning);
}

INSTANTIATE_TEST_SUITE_P(
    Codes, FehlerMelden,
    ::testing::Values(CodeCase{1001, "COM_PORT_ERROR"}, CodeCase{1002, "HANDLE_COM_PORT_ERROR"},
                      CodeCase{1003, "SEND_REQ_ERROR"}, CodeCase{1004, "### default ###"},
                      CodeCase{1005, "### default ###"}, CodeCase{1006, "COMMUNICATION_ERROR"},
                      CodeCase{1007, "OUT_OF_RANGE"}, CodeCase{1008, "NAK_ERROR"}, CodeCase{1009, "ACK_ERROR"},
                      CodeCase{1010, "RS_ERROR"}, CodeCase{1011, "WAIT_ABANDONED"}, CodeCase{1012, "WAIT_TIMEOUT"},
                      CodeCase{1013, "WAIT_FAILED"}, CodeCase{1014, "### default ###"},
                      CodeCase{1020, "### default ###"}, CodeCase{1021, "### unbekannter Befehl ###"},
                      CodeCase{1022, "### ungültige Programm-Nr. ###"},
                      CodeCase{1023, "### ungültiger FAT-Eintrag ###"},
                      CodeCase{1024, "### Speicherüberlauf ... ###"},
                      CodeCase{1025, "### Programm-Nr. bereits vorhanden ###"},
                      CodeCase{1026, "### ungültiger Parameter ###"},
                      CodeCase{1027, "### Arbeitsbereich verlassen ###"},
                      CodeCase{1028, "### max. ProgrammHeader/Befehls-Länge von 256 Bytes überschritten ###"},
                      CodeCase{1029, "### default ###"}, CodeCase{1119, "### Encoder-Positions-Fehler ###"},
                      CodeCase{0, "### default ###"}, CodeCase{-1, "### default ###"}));

class Protokolldatei : public ::testing::Test {
protected:
    void SetUp() override { Protokolldatei_Ordner_setzen(tmp_.Path()); }
    void TearDown() override { Protokolldatei_Ordner_setzen(""); }
    std::string Inhalt() const {
        std::ifstream in(Protokolldatei_Pfad(), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    TempDir tmp_;
};

TEST_F(Protokolldatei, RendersControlCharactersAndEndsLinesWithCrLf) {
    Protokolldatei_schreiben("V\r");
    Protokolldatei_schreiben("\x15" "E7\x07");
    Protokolldatei_schreiben("");
    Protokolldatei_schreiben("\x02\x03\x06 a\nb");
    EXPECT_EQ(Inhalt(), "V<CR>\r\n<NAK>E7<BEL>\r\n\r\n<STX><ETX><ACK> a\nb\r\n");
}

TEST_F(Protokolldatei, AppendsAcrossRuns) {
    { std::ofstream(Protokolldatei_Pfad(), std::ios::binary) << "earlier run\r\n"; }
    Protokolldatei_schreiben("next");
    EXPECT_EQ(Inhalt(), "earlier run\r\nnext\r\n");
}

TEST_F(Protokolldatei, LongLinesAreCutAt255) {
    Protokolldatei_schreiben(std::string(400, 'x').c_str());
    const std::string cr(100, '\r');
    Protokolldatei_schreiben(cr.c_str());
    const std::string all = Inhalt();
    const auto first = all.find("\r\n");
    EXPECT_EQ(first, 255u);
    const std::string second = all.substr(first + 2, all.size() - first - 4);
    EXPECT_EQ(second.size(), 252u);  // 63 whole "<CR>" tags; no tag is cut
}

// A full file is kept as the older one and a new one begins; the one
// before that is given up, so the log never takes more than twice the bound.
TEST_F(Protokolldatei, FullFileBecomesTheOlderOne) {
    const std::string alt = Protokolldatei_Pfad() + ".1";
    for (const char* zeile : {"erste", "zweite"}) {
        { std::ofstream(Protokolldatei_Pfad(), std::ios::binary) << zeile; }
        std::filesystem::resize_file(Protokolldatei_Pfad(), kProtokollGrenze);
        Protokolldatei_schreiben("neu");
        EXPECT_EQ(Inhalt(), "neu\r\n");
        ASSERT_EQ(std::filesystem::file_size(alt), std::uintmax_t(kProtokollGrenze));
        std::ifstream in(alt, std::ios::binary);
        std::string anfang(std::strlen(zeile), '\0');
        in.read(anfang.data(), std::streamsize(anfang.size()));
        EXPECT_EQ(anfang, zeile);
    }
    // Below the bound it just grows.
    Protokolldatei_schreiben("weiter");
    EXPECT_EQ(Inhalt(), "neu\r\nweiter\r\n");
}

TEST_F(Protokolldatei, UnwritableFolderIsSkippedSilently) {
    Protokolldatei_Ordner_setzen(tmp_.Path() + "/no/such/folder");
    Protokolldatei_schreiben("lost");
    SUCCEED();
}

TEST(Steuerzeichen, BoundedOutputNeverCutsATag) {
    char out[8];
    Steuerzeichen_darstellen(out, sizeof out, "ab\x06" "cd");
    EXPECT_STREQ(out, "ab<ACK>");
    Steuerzeichen_darstellen(out, 6, "\x15\x15");
    EXPECT_STREQ(out, "<NAK>");
    Steuerzeichen_darstellen(out, 5, "\x15");
    EXPECT_STREQ(out, "");
}

// The pane's and pelto's rendering agrees with the bounded one and keeps a
// whole reply, however many tags it grows to.
TEST(Steuerzeichen, DargestelltIsTheWholeRendering) {
    const std::string acks(259, '\x06');
    std::string erwartet;
    for (size_t i = 0; i < acks.size(); ++i) erwartet += "<ACK>";
    EXPECT_EQ(Dargestellt(acks.c_str()), erwartet);
    char out[64];
    Steuerzeichen_darstellen(out, sizeof out, "E1\x07@RS\x06\x02\x03\r\x15x");
    EXPECT_EQ(Dargestellt("E1\x07@RS\x06\x02\x03\r\x15x"), out);
}

}  // namespace
