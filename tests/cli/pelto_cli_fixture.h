#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "pelto_prozess.h"
#include "support/sim_profil.h"
#include "sim/sim_server.h"
#include "support/temp_dir.h"

using Args = std::vector<std::string>;

// A simulated controller for pelto, run in a folder of its own.
class PeltoCli : public ::testing::Test {
protected:
    void SetUp() override { Starten(0.02); }

    void Starten(double zeitmass) {
        sim::SimOptions o;
        o.timeScale = zeitmass;
        sim_ = std::make_unique<sim::SimServer>(Suitenprofil(o));
        sim_->Start();
    }

    PeltoProzess::Ergebnis Pelto(Args args, PeltoProzess::Kanal aus = PeltoProzess::Kanal::Rohr,
                                 PeltoProzess::Start start = {}) {
        args.insert(args.begin(), {"--port", sim_->DevicePath()});
        return PeltoProzess::Lauf(args, tmp_.Path(), aus, start);
    }

    void Datei(const std::string& name, const std::string& inhalt) {
        std::ofstream(tmp_.File(name), std::ios::binary) << inhalt;
    }

    // The requests the controller got, Connect's lone CRs left out.
    std::vector<std::string> Anfragen() const {
        std::vector<std::string> a;
        for (const std::string& r : sim_->Requests())
            if (r != "\r") a.push_back(r);
        return a;
    }

    // `filter` of jq over all the JSON objects of `json`, as raw text.
    std::string Jq(const std::string& json, const std::string& filter) {
        Datei("aus.json", json);
        return Werkzeug("jq -r -s '" + filter + "' " + tmp_.File("aus.json"), json);
    }

    // What a shell command prints; it must succeed. `wovon` explains a failure.
    static std::string Werkzeug(const std::string& befehl, const std::string& wovon) {
        std::string aus;
        if (FILE* p = popen(befehl.c_str(), "r")) {
            char puffer[512];
            while (std::fgets(puffer, sizeof puffer, p)) aus += puffer;
            EXPECT_EQ(pclose(p), 0) << befehl << "\n" << wovon;
        }
        return aus;
    }

    TempDir tmp_;
    std::unique_ptr<sim::SimServer> sim_;
};
