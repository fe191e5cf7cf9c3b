#include "support/link_fixture.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "common/protokolldatei.h"

void LinkFixture::SetUp() {
    Protokolldatei_Ordner_setzen(tmp_.Path());
    peer_ = std::make_unique<ScriptedPeer>();
    ::setenv(("PELTO_COM" + std::to_string(kPort)).c_str(), peer_->SlavePath().c_str(), 1);
    com_ = std::make_unique<TkeloCOM>();
}

void LinkFixture::TearDown() {
    com_.reset();
    peer_.reset();
    Protokolldatei_Ordner_setzen("");
}

void LinkFixture::Oeffnen() { com_->Init(kPort, 115200); }

std::vector<std::string> LinkFixture::Protokoll() const {
    std::ifstream in(Protokolldatei_Pfad(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string all = ss.str();
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t pos; (pos = all.find("\r\n", start)) != std::string::npos; start = pos + 2)
        lines.push_back(all.substr(start, pos - start));
    if (start < all.size()) lines.push_back("<unterminated>" + all.substr(start));
    return lines;
}
