#include "shell/DropTarget.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace gz::ui {

namespace {

// Takes a drag that carries files, as a copy where the source allows it.
void AcceptFileDrag(QDropEvent* drag)
{
    if (drag->possibleActions() & Qt::CopyAction)
        drag->setDropAction(Qt::CopyAction);
    drag->accept();
}

} // namespace

TDropDst::TDropDst(QObject* owner) : TControlHook(owner) {}

void TDropDst::SetAcceptDrop(bool accept)
{
    if (accept == acceptDrop_)
        return;
    acceptDrop_ = accept;
    ApplyAcceptDrop();
}

void TDropDst::HookChanged(int reason)
{
    TControlHook::HookChanged(reason);
    ApplyAcceptDrop();
}

void TDropDst::ApplyAcceptDrop()
{
    if (QWidget* window = HookedWindow())
        window->setAcceptDrops(acceptDrop_);
}

QStringList TDropDst::DroppedFiles(const QMimeData* data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile())
            files.append(url.toLocalFile());
    return files;
}

bool TDropDst::HookedWndProc(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDropEvent*>(event);
        if (!acceptDrop_ || DroppedFiles(drag->mimeData()).isEmpty())
            return TControlHook::HookedWndProc(event);
        AcceptFileDrag(drag);
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const QStringList files = acceptDrop_ ? DroppedFiles(drop->mimeData()) : QStringList();
        if (files.isEmpty())
            return TControlHook::HookedWndProc(event);
        AcceptFileDrag(drop);
        // Delivered once the drop has finished, so that the source is not kept waiting while
        // the files load (or the placement wizard asks) and no drag is still under way then.
        const QPoint at = drop->position().toPoint();
        QMetaObject::invokeMethod(
            this, [this, files, at] { RunReported([&] { DeliverDrop(files, at); }); }, Qt::QueuedConnection);
        return true;
    }
    default:
        return TControlHook::HookedWndProc(event);
    }
}

void TDropDst::DeliverDrop(const QStringList& files, QPoint at)
{
    if (!OnFileDrop)
        return;
    // A copy of the handler: it may replace OnFileDrop while it runs.
    const TFileDropEvent handler = OnFileDrop;
    handler(this, files, at.x(), at.y());
}

} // namespace gz::ui
