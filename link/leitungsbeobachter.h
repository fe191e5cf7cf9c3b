#pragma once

#include <cstddef>
#include <string>

// Sees a line's traffic: each request as it goes out, each byte that comes
// in, and the port opened and closed. Called on the sending threads and on
// the receive thread, so it must be quick and must not block.
class TLeitungsbeobachter {
public:
    virtual ~TLeitungsbeobachter() = default;
    // Before the bytes are written, so that no reply can come before them;
    // header text is flagged as owed no answer.
    virtual void Gesendet(const char* /*bytes*/, std::size_t /*n*/, bool /*bOhneAntwort*/) {}
    virtual void Empfangen(unsigned char /*c*/) {}
    virtual void Vermerken(const std::string& /*text*/) {}
    // Reads failed (the device went) or work again.
    virtual void Leitung(bool /*bWeg*/) {}
};
