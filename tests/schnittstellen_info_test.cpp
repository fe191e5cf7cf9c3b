// What the port list's tooltips tell, read from a fake sysfs tree and fake
// /dev/serial/by-id links, and PELTO_COM<n> given a by-id name.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/schnittstellen_info.h"
#include "platform/port_names.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

class SchnittstellenInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        SchnittstellenInfo::Wurzeln_setzen({tmp_.File("sys"), tmp_.File("dev/serial/by-id")});
        const std::string usb = "sys/devices/pci0000:00/0000:00:14.0/usb1/";
        // ttyUSB: tty -> port -> interface -> USB device with all three strings.
        Geraet("ttyUSB0", usb + "1-2/1-2:1.0/ttyUSB0", usb + "1-2",
               {{"manufacturer", "FTDI"}, {"product", "FT232R USB UART"}, {"serial", "A50285BI"}});
        // ttyACM: tty -> interface -> USB device without a serial number.
        Geraet("ttyACM0", usb + "1-3/1-3:1.0", usb + "1-3", {{"manufacturer", "Acme"}, {"product", "CDC Bridge"}});
        // An on-board port: no USB device above it.
        Geraet("ttyS0", "sys/devices/platform/serial8250/tty/ttyS0", "", {});
        Datei("dev/ttyS5", "");  // nothing in sysfs at all
        ById("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0", "../../ttyUSB0");
        ById("usb-FTDI_FT232R_alias", "../../ttyUSB0");
        ById("usb-Acme_CDC_Bridge-if00", "../../ttyACM0");
    }
    void TearDown() override { SchnittstellenInfo::Wurzeln_setzen({}); }

    void Datei(const std::string& pfad, const std::string& inhalt) {
        fs::create_directories(fs::path(tmp_.File(pfad)).parent_path());
        std::ofstream(tmp_.File(pfad)) << inhalt;
    }
    void Geraet(const std::string& name, const std::string& device, const std::string& usbGeraet,
                const std::vector<std::pair<std::string, std::string>>& strings) {
        fs::create_directories(tmp_.File(device));
        fs::create_directories(tmp_.File("sys/class/tty/" + name));
        fs::create_directory_symlink(fs::relative(tmp_.File(device), tmp_.File("sys/class/tty/" + name)),
                                     tmp_.File("sys/class/tty/" + name + "/device"));
        if (!usbGeraet.empty()) Datei(usbGeraet + "/idVendor", "0403\n");
        for (const auto& [datei, text] : strings) Datei(usbGeraet + "/" + datei, text + "\n");
        Datei("dev/" + name, "");
    }
    void ById(const std::string& name, const std::string& ziel) {
        fs::create_directories(tmp_.File("dev/serial/by-id"));
        fs::create_symlink(ziel, tmp_.File("dev/serial/by-id/" + name));
    }

    TempDir tmp_;
};

TEST_F(SchnittstellenInfoTest, TooltipNamesDeviceAdapterAndStableNames) {
    const std::string byId = tmp_.File("dev/serial/by-id/");
    struct Fall {
        std::string geraet, text;
    };
    const Fall faelle[] = {
        {tmp_.File("dev/ttyUSB0"), tmp_.File("dev/ttyUSB0") +
                                       "\nHersteller: FTDI\nProdukt: FT232R USB UART\nSeriennummer: A50285BI\n" +
                                       byId + "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n" + byId +
                                       "usb-FTDI_FT232R_alias"},
        {tmp_.File("dev/ttyACM0"),
         tmp_.File("dev/ttyACM0") + "\nHersteller: Acme\nProdukt: CDC Bridge\n" + byId + "usb-Acme_CDC_Bridge-if00"},
        {tmp_.File("dev/ttyS0"), tmp_.File("dev/ttyS0")},
        {tmp_.File("dev/ttyS5"), tmp_.File("dev/ttyS5")},
        // Reached through its stable name: the device it stands for.
        {byId + "usb-Acme_CDC_Bridge-if00",
         tmp_.File("dev/ttyACM0") + "\nHersteller: Acme\nProdukt: CDC Bridge\n" + byId + "usb-Acme_CDC_Bridge-if00"},
        {"/dev/nonexistent-tty", "/dev/nonexistent-tty"},
    };
    for (const Fall& f : faelle) EXPECT_EQ(SchnittstellenInfo::Lesen(f.geraet).Text(), f.text) << f.geraet;
}

TEST_F(SchnittstellenInfoTest, ComPortAcceptsAByIdName) {
    // A pseudo-terminal behind a by-id style link: listed and resolved.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string slave = ::ptsname(master);
    ById("usb-Pelto_Adapter-if00", slave);
    ::setenv("PELTO_COM7", tmp_.File("dev/serial/by-id/usb-Pelto_Adapter-if00").c_str(), 1);
    EXPECT_TRUE(platform::ComPortPresent(7));
    EXPECT_EQ(platform::ComDevicePath(7), slave);
    ::unsetenv("PELTO_COM7");
    ::close(master);
}

}  // namespace
