#pragma once
// The rig server as a whole: the station control, the sockets and the FormRig window, wired
// together and kept in step with "TVRrig.ini". Built by the composition root once the main
// window is up; reads its settings then and listens when they say so.
//
// Thread: user-interface thread. Owns the control, the server and the window.

#include "rig/RigSettings.h"

#include <QObject>

#include <memory>

namespace tavrin {
class Program;
}

namespace tavrin::rig {

class RigControl;
class RigServer;
class RigWindow;

inline constexpr char kListening[] = "Listening on %1 port %2, %3 client(s)";
inline constexpr char kOff[] = "Rig server off";
inline constexpr char kListenFailed[] = "Rig server: could not listen on %1 port %2: %3";

class RigService : public QObject {
    Q_OBJECT
public:
    explicit RigService(Program &program);
    ~RigService() override;

    // Takes these settings now: PTT policy at once, the listener restarted only when the
    // address, port or on/off changed, or when it is not listening though it should.
    void apply(const RigSettings &settings);

    RigControl &control() const { return *control_; }
    RigServer &server() const { return *server_; }
    RigWindow *window() const { return window_.get(); }
    const RigSettings &settings() const { return settings_; }

private:
    void showState();

    Program &program_;
    std::unique_ptr<RigWindow> window_;
    RigControl *control_ = nullptr; // child
    RigServer *server_ = nullptr;   // child
    RigSettings settings_;
    bool applied_ = false;
    QString listenError_;
    QString address_; // where it listens (or tried to)
};

} // namespace tavrin::rig
