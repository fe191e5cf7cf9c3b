#pragma once

#include <string>
#include <vector>

// What Linux knows about a serial device, for the port list's tooltips: the
// USB adapter behind it (from sysfs) and its stable /dev/serial/by-id names.
class SchnittstellenInfo {
public:
    // Where sysfs and the by-id links are read (tests put fake trees there).
    struct Wurzeln {
        std::string sys = "/sys";
        std::string byId = "/dev/serial/by-id";
    };
    static void Wurzeln_setzen(const Wurzeln& wurzeln);

    // For the device at this path (a symbolic link is followed).
    static SchnittstellenInfo Lesen(const std::string& geraet);

    // One fact per line: device path, manufacturer, product, serial number,
    // by-id names; lines with nothing to say are left out.
    std::string Text() const;

    std::string geraet;
    std::string hersteller;
    std::string produkt;
    std::string seriennummer;
    std::vector<std::string> byId;

private:
    void UsbLesen(const std::string& sys);
    void ByIdLesen(const std::string& ordner);
};
