#pragma once
// TDropDst: a TControlHook that makes the hooked window a drop target for files from the
// desktop and turns each drop into one OnFileDrop event with every dropped local path, in the
// order the drop carries them, and the drop point in the hooked window's coordinates.
//
// Children of the hooked window that do not accept drops themselves pass drags on to it, so a
// drop target on a form receives the drops on all its controls.

#include "shell/ControlHook.h"

#include <QPoint>
#include <QStringList>

#include <functional>

class QMimeData;

namespace gz::ui {

class TDropDst;

// Sender, the dropped paths, the drop point. The list belongs to the drop target.
using TFileDropEvent = std::function<void(TDropDst* sender, const QStringList& files, int x, int y)>;

class TDropDst : public TControlHook {
    Q_OBJECT
public:
    explicit TDropDst(QObject* owner = nullptr);

    using TControlHook::SetTarget;
    using TControlHook::Target;

    bool AcceptDrop() const { return acceptDrop_; }
    void SetAcceptDrop(bool accept);

    TFileDropEvent OnFileDrop;

    // The local file paths a drag carries, in its order; links to anything else are left out.
    static QStringList DroppedFiles(const QMimeData* data);

protected:
    void HookChanged(int reason) override;
    bool HookedWndProc(QEvent* event) override;

private:
    void ApplyAcceptDrop();
    void DeliverDrop(const QStringList& files, QPoint at);

    bool acceptDrop_ = true;
};

} // namespace gz::ui
