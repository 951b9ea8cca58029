#include "workspace/MessageBoxes.h"

#include "platform/Exceptions.h"

#include <QApplication>
#include <QMessageBox>
#include <QRegularExpression>

#include <new>

namespace gz::ui {

namespace {

TMessageBoxHook& Hook()
{
    static TMessageBoxHook hook;
    return hook;
}

// Messages the shared core raises with Japanese texts, which gazorin-cli and the core's callers
// keep as they are; the error box shows them in the user interface's language. %1 and %2 stand
// for the parts that vary, in the order they appear.
const char* const CoreMessages[] = {
    QT_TRANSLATE_NOOP("ErrorBox", "拡張子 .%1 の画像形式は処理できません"),
    QT_TRANSLATE_NOOP("ErrorBox", "%1:Susie Pluginがロードできませんでした"),
    QT_TRANSLATE_NOOP("ErrorBox", "%1は[%2]では使えないSusie Plugin APIです"),
    QT_TRANSLATE_NOOP("ErrorBox", "TSPIs は複数生成できません"),
};

void Show(QWidget* parent, TMessageKind kind, const QString& caption, const QString& text)
{
    if (Hook()) {
        Hook()(kind, caption, text);
        return;
    }
    QMessageBox box(kind == TMessageKind::Error ? QMessageBox::Critical : QMessageBox::Information, caption, text,
                    QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void SetMessageBoxHook(TMessageBoxHook hook) { Hook() = std::move(hook); }

QString ErrorBoxText(const QString& message)
{
    static const QRegularExpression marker(QStringLiteral("%[12]"));
    for (const char* pattern : CoreMessages) {
        const QString source = QString::fromUtf8(pattern);
        const QString translation = QCoreApplication::translate("ErrorBox", pattern);
        if (translation == source)
            continue;
        QString expression;
        qsizetype from = 0;
        for (QRegularExpressionMatchIterator it = marker.globalMatch(source); it.hasNext();) {
            const QRegularExpressionMatch m = it.next();
            expression += QRegularExpression::escape(source.mid(from, m.capturedStart() - from)) + QStringLiteral("(.*)");
            from = m.capturedEnd();
        }
        expression += QRegularExpression::escape(source.mid(from));
        const QRegularExpression form(QRegularExpression::anchoredPattern(expression),
                                      QRegularExpression::DotMatchesEverythingOption);
        const QRegularExpressionMatch m = form.match(message);
        if (!m.hasMatch())
            continue;
        switch (m.lastCapturedIndex()) {
        case 0: return translation;
        case 1: return translation.arg(m.captured(1));
        default: return translation.arg(m.captured(1), m.captured(2));
        }
    }
    return message;
}

void ShowErrorBox(QWidget* parent, const QString& message)
{
    Show(parent, TMessageKind::Error, QApplication::applicationDisplayName(), ErrorBoxText(message));
}

void ShowMessageBox(QWidget* parent, const QString& caption, const QString& text)
{
    Show(parent, TMessageKind::Information, caption, text);
}

bool RunCommand(QWidget* parent, const std::function<void()>& command)
{
    try {
        command();
        return true;
    } catch (const EAbort&) {
        return false;
    } catch (const std::bad_alloc&) {
        ShowErrorBox(parent, QStringLiteral("Out of memory"));
    } catch (const std::exception& e) {
        ShowErrorBox(parent, QString::fromUtf8(e.what()));
    }
    return false;
}

} // namespace gz::ui
