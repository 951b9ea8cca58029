#include "shell/ControlHook.h"

#include "platform/Exceptions.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QWidget>

#include <new>

namespace gz::ui {

namespace {

TExceptionReport& Report()
{
    static TExceptionReport report;
    return report;
}

void ShowDefaultReport(const std::exception& e)
{
    QMessageBox::critical(QApplication::activeWindow(), QApplication::applicationDisplayName(),
                          QString::fromUtf8(e.what()));
}

// A form is a window of its own: a top-level window or a document window of an MDI area.
bool IsForm(const QObject* object)
{
    const auto* widget = qobject_cast<const QWidget*>(object);
    return widget && (widget->isWindow() || qobject_cast<const QMdiSubWindow*>(widget));
}

} // namespace

// Receives the posted RehookMessage and lets the hook attach again.
class TControlHook::TUtility : public QObject {
public:
    // A child of the hook, so that a posted rehook dies with the hook.
    explicit TUtility(TControlHook& hook) : QObject(&hook), hook_(hook) {}

    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::Type(RehookMessage)) {
            // A widget destroyed for good, rather than given a new native window, is not
            // waited for.
            if (hook_.recreating_)
                RunReported([this] { hook_.HookChanged(hcRehook); });
            return true;
        }
        return QObject::event(event);
    }

private:
    TControlHook& hook_;
};

void TControlHook::RunReported(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EAbort&) {
    } catch (const std::bad_alloc&) {
        ReportException(Exception("Out of memory"));
    } catch (const std::exception& e) {
        ReportException(e);
    } catch (...) {
        ReportException(Exception("Unknown exception"));
    }
}

TControlHook::TControlHook(QObject* owner) : QObject(owner), utility_(new TUtility(*this)) {}

TControlHook::~TControlHook()
{
    Detach();
    disconnect(controlWatch_);
}

void TControlHook::SetExceptionReport(TExceptionReport report) { Report() = std::move(report); }

void TControlHook::ReportException(const std::exception& e)
{
    if (dynamic_cast<const EAbort*>(&e))
        return;
    if (Report())
        Report()(e);
    else
        ShowDefaultReport(e);
}

void TControlHook::SetControl(QWidget* control)
{
    Detach();
    disconnect(controlWatch_);
    control_ = control;
    if (control)
        controlWatch_ = connect(control, &QObject::destroyed, this, &TControlHook::ControlDestroyed);
    HookChanged(hcAttach);
}

void TControlHook::SetTarget(THookTarget target)
{
    Detach();
    target_ = target;
    HookChanged(hcAttach);
}

void TControlHook::Loaded() { SetControl(control_); }

void TControlHook::HookChanged(int reason)
{
    if (reason == hcControlRemoved)
        control_ = nullptr;
    else
        Attach();
}

bool TControlHook::HookedWndProc(QEvent*) { return false; }

QWidget* TControlHook::ResolveWindow() const
{
    if (target_ == htControl)
        return control_;
    for (QObject* o = control_ ? static_cast<QObject*>(control_.data()) : const_cast<TControlHook*>(this); o;
         o = o->parent())
        if (IsForm(o))
            return static_cast<QWidget*>(o);
    return nullptr;
}

void TControlHook::Attach()
{
    Detach();
    QWidget* window = ResolveWindow();
    if (!window) {
        if (target_ == htForm)
            throw Exception(tr("フック先を特定できません。").toStdString());
        return;
    }
    hooked_ = window;
    window->installEventFilter(this);
}

void TControlHook::Detach()
{
    if (hooked_)
        hooked_->removeEventFilter(this);
    hooked_ = nullptr;
}

void TControlHook::ControlDestroyed(QObject* control)
{
    // The widget is half destroyed: forget it without touching it.
    if (hooked_.data() == control)
        hooked_ = nullptr;
    HookChanged(hcControlRemoved);
}

bool TControlHook::eventFilter(QObject* watched, QEvent* event)
{
    if (!hooked_ || watched != hooked_.data())
        return QObject::eventFilter(watched, event);
    if (event->type() == QEvent::WinIdChange && hooked_->internalWinId() == 0) {
        // The native window is going away; attach again once the platform is done with it.
        recreating_ = hooked_;
        QCoreApplication::postEvent(utility_, new QEvent(QEvent::Type(RehookMessage)));
        Detach();
    }
    return HookedWndProc(event);
}

} // namespace gz::ui
