// Which tray host the desktop offers now, followed by its events instead of
// asked again and again: the owner of the XEmbed manager selection on X11,
// and the StatusNotifierWatcher's owner and its host signals on the session
// bus.
#pragma once

#include "shell/notification_area.h"

#include <QObject>

#include <memory>

class QDBusPendingCallWatcher;

namespace shell {

class TrayPresence : public QObject {
    Q_OBJECT

public:
    // Asks both once, blocking for the bus's answer (at most 2 s).
    explicit TrayPresence(QObject* parent = nullptr);
    ~TrayPresence() override;

    // A StatusNotifierItem host wins over an XEmbed tray when both are there.
    TrayHost Current() const;
    bool XEmbedTray() const { return xembed_; }
    bool StatusNotifierHost() const { return statusNotifierHost_; }
    // The XEmbed tray there now does not show icons: it counts as none until
    // another takes its place.
    void RefuseXEmbedTray();

signals:
    void Changed();

private slots:
    void HostSignal();

private:
    struct XEmbedWatch;
    void SetXEmbed(bool present);
    void SetStatusNotifierHost(bool present);
    void AskWatcher();

    bool xembed_ = false;
    bool statusNotifierHost_ = false;
    quint64 question_ = 0;  // only the latest answer of the watcher counts
    std::unique_ptr<XEmbedWatch> xembedWatch_;
};

}  // namespace shell
