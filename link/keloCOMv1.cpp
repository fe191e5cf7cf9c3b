#include "link/keloCOMv1.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "common/fehler.h"
#include "common/handles.h"
#include "common/protokolldatei.h"
#include "link/keloCOMv1_thread.h"
#include "link/mitschnitt.h"
#include "platform/last_error.h"
#include "platform/port_names.h"
#include "platform/serial_port.h"

namespace {

void Kopieren(char (&ziel)[TkeloCOM::kPufferGroesse], const char* text) {
    std::memset(ziel, 0, sizeof ziel);
    std::memcpy(ziel, text, strnlen(text, sizeof ziel - 1));
}

}  // namespace

TkeloCOM::TkeloCOM() : TkeloCOM(std::make_shared<Linie>()) { Beobachter_setzen(&Mitschnitt::Prozess()); }

TkeloCOM::TkeloCOM(std::shared_ptr<Linie> linie)
    : l_(std::move(linie)),
      ich_(++l_->iSender),
      bAppStarted(l_->bAppStarted),
      szReq(l_->szReq),
      szResp(l_->szResp),
      iModulTyp(l_->iModulTyp),
      iResets(l_->iResets),
      hSenden_(l_->hSenden),
      hPuffer_(l_->hPuffer),
      iLeitungFreiUS_(l_->iLeitungFreiUS),
      iBaud_(l_->iBaud),
      mutex_(l_->mutex),
      hCom(l_->hCom),
      keloCOM_thread(l_->keloCOM_thread) {}

std::unique_ptr<TkeloCOM> TkeloCOM::Neuer_Absender() { return std::unique_ptr<TkeloCOM>(new TkeloCOM(l_)); }

// Only the line's first sender shuts it down.
TkeloCOM::~TkeloCOM() {
    if (ich_ == 1) UnInit();
}

std::shared_ptr<platform::SerialPort> TkeloCOM::OpenSerialPort(const char* szPortName, uint32_t iBaud) {
    const std::string path = platform::ComDevicePath(platform::ComNumberFromName(szPortName));
    if (path.empty()) {
        platform::SetLastError(platform::kErrorFileNotFound);
        return nullptr;
    }
    return platform::SerialPort::Open(path, iBaud);
}

void TkeloCOM::Port_freigeben() {
    if (const auto port = Port()) port->Close();
}

std::shared_ptr<TkeloCOM_thread> TkeloCOM::Thread() const {
    std::lock_guard lock(mutex_);
    return keloCOM_thread;
}

std::shared_ptr<platform::SerialPort> TkeloCOM::Port() const {
    std::lock_guard lock(mutex_);
    return hCom;
}

bool TkeloCOM::HatPort() const { return Port() != nullptr; }

void TkeloCOM::Init(int8_t iPort, uint32_t iBaud) {
    char szWer[64];
    std::snprintf(szWer, sizeof szWer, "keloCOM->Init(%d, %u)", iPort, iBaud);
    Protokolldatei_schreiben(szWer);
    if (iPort <= 0) throw COM_PORT_ERROR;
    Init_starten(platform::ComDevicePath(iPort), szWer, iBaud);
}

void TkeloCOM::Init(const std::string& pfad, uint32_t iBaud) {
    const std::string wer = "keloCOM->Init(" + pfad + ", " + std::to_string(iBaud) + ")";
    Protokolldatei_schreiben(wer.c_str());
    if (pfad.empty()) throw COM_PORT_ERROR;
    Init_starten(pfad, wer, iBaud);
}

void TkeloCOM::Init_starten(const std::string& pfad, const std::string& wer, uint32_t iBaud) {
    InitOeffnen(pfad, wer, iBaud);
    if (iBaud > 0) iBaud_ = iBaud;
    // What came before the port was ours answers nothing we will ask.
    if (const auto port = Port()) port->PurgeReceive();

    auto thread = std::make_shared<TkeloCOM_thread>(true, Port(), Beobachter());
    thread->SetPriority(platform::ThreadPriority::Normal);
    {
        std::lock_guard lock(mutex_);
        keloCOM_thread = thread;
    }
    thread->Resume();
    thread->hEventThreadRun.Wait();
    bAppStarted = 1;
}

// Opens the port, trying a busy one again with growing pauses (20 tries,
// about 4.75 s in all). `wer` begins each log line.
void TkeloCOM::InitOeffnen(const std::string& pfad, const std::string& wer, uint32_t iBaud) {
    int32_t iSleep = 0;
    for (;;) {
        if (pfad.empty()) platform::SetLastError(platform::kErrorFileNotFound);
        auto port = pfad.empty() ? nullptr : platform::SerialPort::Open(pfad, iBaud);
        {
            std::lock_guard lock(mutex_);
            hCom = port;
        }
        if (port) break;
        const uint32_t err = platform::LastError();
        Protokolldatei_schreiben((wer + " :: GetLastError()=" + std::to_string(err)).c_str());
        if (err != platform::kErrorAccessDenied) throw HANDLE_COM_PORT_ERROR;
        iSleep += 25;
        if (iSleep >= 500) throw HANDLE_COM_PORT_ERROR;
        std::this_thread::sleep_for(std::chrono::milliseconds(iSleep));
    }
    Protokolldatei_schreiben((wer + " :: iSleep=" + std::to_string(iSleep)).c_str());
    if (auto* b = Beobachter()) b->Vermerken("open " + pfad + " " + std::to_string(iBaud));
    // A device that keeps its default latency (a pseudo-terminal, an adapter
    // whose timer is not ours to set) still works, only slower.
    if (const auto port = Port(); port && !port->LatencyNote().empty())
        Protokolldatei_schreiben((wer + " :: " + port->LatencyNote()).c_str());
}

void TkeloCOM::UnInit() {
    if (bAppStarted == 0) {
        Protokolldatei_schreiben("keloCOM->UnInit() :: bAppStarted=0");
        Protokolldatei_schreiben("");
        return;
    }
    auto port = Port();
    if (port) {
        port->PurgeReceive();
        port->PurgeTransmit();
    }
    if (auto thread = Thread()) {
        thread->Stoppen();
        keloCloseHandle(&thread->hEventThreadEnd);
    }
    keloCloseHandle(port.get());
    if (auto* b = Beobachter()) b->Vermerken("close");
    bAppStarted = 0;
    Protokolldatei_schreiben("keloCOM->UnInit() :: Thread beendet!");
    Protokolldatei_schreiben("");
}


const char* TkeloCOM::Anfrage() const { return szEigeneAnfrage_; }

const char* TkeloCOM::Antwort() const { return szEigeneAntwort_; }

void TkeloCOM::Anfrage_merken(const char* szText) {
    Kopieren(szEigeneAnfrage_, szText);
    // Until its own reply comes, a request shows none: not an earlier one.
    Kopieren(szEigeneAntwort_, "");
    std::lock_guard lock(hPuffer_);
    Kopieren(szReq, szText);
}

uint64_t TkeloCOM::Antworten() const { return iEigeneAntworten_; }

void TkeloCOM::Antwort_merken(const char* szText) {
    Kopieren(szEigeneAntwort_, szText);
    ++iEigeneAntworten_;
    std::lock_guard lock(hPuffer_);
    Kopieren(szResp, szText);
}
