#include "app/port_waechter.h"

#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>

#include <cstdlib>
#include <string>

#include "platform/port_names.h"

PortWaechter::PortWaechter(QComboBox* box, std::function<void()> auffrischen)
    : QObject(box), box_(box), auffrischen_(std::move(auffrischen)) {
    box_->installEventFilter(this);
    Ordner_beobachten();
    connect(&waechter_, &QFileSystemWatcher::directoryChanged, this, [this] {
        auffrischen_();
        Ordner_beobachten();  // a by-id folder may have come or gone
    });
}

void PortWaechter::Ordner_beobachten() {
    QStringList ordner{"/dev", "/dev/serial/by-id"};
    for (int n = 1; n <= platform::kMaxComPort; ++n)
        if (const char* pfad = std::getenv(("PELTO_COM" + std::to_string(n)).c_str()))
            ordner << QFileInfo(QString::fromLocal8Bit(pfad)).absolutePath();
    ordner.removeDuplicates();
    QStringList neu;
    for (const QString& o : ordner)
        if (QFileInfo(o).isDir() && !waechter_.directories().contains(o)) neu << o;
    if (!neu.isEmpty()) waechter_.addPaths(neu);
}

// Before the list opens: a click on the box, or the keys that open it.
bool PortWaechter::eventFilter(QObject* objekt, QEvent* ereignis) {
    if (objekt == box_) {
        const auto* taste = ereignis->type() == QEvent::KeyPress ? static_cast<QKeyEvent*>(ereignis) : nullptr;
        const bool oeffnet = ereignis->type() == QEvent::MouseButtonPress ||
                             (taste && (taste->key() == Qt::Key_F4 ||
                                        (taste->key() == Qt::Key_Down && (taste->modifiers() & Qt::AltModifier))));
        if (oeffnet) auffrischen_();
    }
    return QObject::eventFilter(objekt, ereignis);
}
