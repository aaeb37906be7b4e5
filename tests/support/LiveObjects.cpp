#include "tests/support/LiveObjects.h"

#include <QApplication>
#include <QDir>
#include <QObject>
#include <QWidget>

#include <atomic>

// QtCore's table of tool hooks (exported, though declared only in a private
// header): entry 3 is called from every QObject constructor, entry 4 from
// every destructor, on whatever thread runs them.
extern quintptr Q_CORE_EXPORT qtHookData[];

namespace support {

namespace {

    constexpr int addQObjectHook = 3;
    constexpr int removeQObjectHook = 4;

    std::atomic<int> qobjects { 0 };
    quintptr previousAdd = 0;
    quintptr previousRemove = 0;

    void added(QObject *object)
    {
        ++qobjects;
        if (previousAdd)
            reinterpret_cast<void (*)(QObject *)>(previousAdd)(object);
    }

    void removed(QObject *object)
    {
        --qobjects;
        if (previousRemove)
            reinterpret_cast<void (*)(QObject *)>(previousRemove)(object);
    }

    bool installHooks()
    {
        previousAdd = qtHookData[addQObjectHook];
        previousRemove = qtHookData[removeQObjectHook];
        qtHookData[addQObjectHook] = reinterpret_cast<quintptr>(&added);
        qtHookData[removeQObjectHook] = reinterpret_cast<quintptr>(&removed);
        return true;
    }

} // namespace

int liveQObjects()
{
    static const bool installed = installHooks();
    Q_UNUSED(installed);
    return qobjects.load();
}

int liveWidgets() { return QApplication::allWidgets().size(); }

int processThreads()
{
    return QDir(QStringLiteral("/proc/self/task"))
        .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
        .size();
}

} // namespace support
