#include "action/actioncaption.h"

#include <QCoreApplication>
#include <QThread>

ActionCaption *ActionCaption::MyLrc()
{
    // Never deleted: a reading thread may still emit on it while static objects are
    // destroyed at exit.
    static ActionCaption *const caption = [] {
        auto *object = new ActionCaption;
        if (QCoreApplication *app = QCoreApplication::instance()) {
            if (object->thread() != app->thread())
                object->moveToThread(app->thread());
        }
        return object;
    }();
    return caption;
}

void ActionCaption::ShowLanguageCaption(const QString &languageKey)
{
    // The language file lookup (with its English fallback) is not wired in yet: until it
    // is, the caption shows the language key itself.
    emit EmitAction(languageKey);
}
