#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/keloCOMv1.h"
#include "support/dialog_recorder.h"
#include "support/fehler_code.h"
#include "support/scripted_peer.h"
#include "support/temp_dir.h"

// A link on COM7 wired to a scripted peer, with its own protocol log and
// recorded message boxes.
class LinkFixture : public ::testing::Test {
protected:
    static constexpr int kPort = 7;

    void SetUp() override;
    void TearDown() override;

    // Opens the link on the peer at 115200 baud.
    void Oeffnen();
    // Lines of the protocol log written since SetUp.
    std::vector<std::string> Protokoll() const;

    TempDir tmp_;
    DialogRecorder dialogs_;
    std::unique_ptr<ScriptedPeer> peer_;
    std::unique_ptr<TkeloCOM> com_;
};
