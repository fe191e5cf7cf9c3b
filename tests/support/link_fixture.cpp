#include "support/link_fixture.h"

#include <cstdlib>

#include "common/protokolldatei.h"
#include "support/crlf_lines.h"

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

std::vector<std::string> LinkFixture::Protokoll() const { return CrLfZeilen(Protokolldatei_Pfad()); }
