#pragma once
// TControlHook: a component that takes over the events of a window (a control, or the form
// that holds it) before the window's own handlers see them, and keeps the takeover alive when
// the platform destroys and re-creates the window's native window.
//
// The takeover is an event filter on the hooked widget: every event of that widget passes
// HookedWndProc first. When the widget's native window is destroyed (its window id drops to
// 0, as when a change of window flags needs a new native window), the hook detaches and posts
// RehookMessage to its own utility object; once the destroy sequence has finished and the
// posted event is processed, HookChanged(hcRehook) attaches again.

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <exception>
#include <functional>

namespace gz::ui {

enum THookTarget {
    htControl, // hook Control itself
    htForm     // hook the form that contains Control (or the hook component itself)
};

// The private event between a hook and its utility object.
inline constexpr int RehookMessage = 1025;
static_assert(RehookMessage > int(QEvent::User) && RehookMessage <= int(QEvent::MaxUser));

// The reasons HookChanged is called with.
enum THookChange {
    hcAttach = 0,         // a property changed or the owner finished setting up: attach
    hcControlRemoved = 1, // Control was destroyed: forget it
    hcRehook = 2          // the hooked window was re-created: attach again
};

// The application-wide report of exceptions that reach the event loop through a hook.
using TExceptionReport = std::function<void(const std::exception& e)>;

class TControlHook : public QObject {
    Q_OBJECT
public:
    // owner: the component's owner (the form it sits on), which also destroys it.
    explicit TControlHook(QObject* owner = nullptr);
    ~TControlHook() override;

    // Setting Control or Target detaches and attaches again; with htForm and no form to
    // hook, that raises "フック先を特定できません。".
    QWidget* Control() const { return control_; }
    void SetControl(QWidget* control);

    // The widget currently taken over; none while detached.
    QWidget* HookedWindow() const { return hooked_; }

    // Attaches once the owner has set the properties up (by re-setting Control).
    void Loaded();

    // Where exceptions raised inside a hook's event handling are shown. The default is a
    // critical message box with the application's name as its caption; an empty report brings
    // the default back. EAbort is never reported.
    static void SetExceptionReport(TExceptionReport report);
    static void ReportException(const std::exception& e);
    // Runs action; an exception that leaves it goes to the report and no further.
    static void RunReported(const std::function<void()>& action);

protected:
    THookTarget Target() const { return target_; }
    void SetTarget(THookTarget target);

    // hcControlRemoved forgets Control; any other reason attaches.
    virtual void HookChanged(int reason);
    // Every event of the hooked widget passes here first. Returns true when the event was
    // handled and must not reach the widget; the default lets the widget handle it.
    virtual bool HookedWndProc(QEvent* event);

    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class TUtility;
    friend class TUtility;

    // The window to hook for the current Target and Control; none when there is none.
    QWidget* ResolveWindow() const;
    void Attach();
    void Detach();
    void ControlDestroyed(QObject* control);

    THookTarget target_ = htControl;
    QPointer<QWidget> control_;
    QMetaObject::Connection controlWatch_;
    QPointer<QWidget> hooked_;
    // The widget whose native window went away; the posted rehook is void once it is deleted.
    QPointer<QWidget> recreating_;
    TUtility* utility_;
};

} // namespace gz::ui
