#include "action/actioncaption.h"

#include "action/actionservices.h"

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

void ActionCaption::ShowLanguageCaption(const QString &languageKey, const QString &fallback)
{
    emit EmitAction(ActionServices::Text(languageKey, fallback));
}
