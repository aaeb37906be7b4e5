#include "sensor/sources/WaitableEvent.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <unordered_set>

namespace camera {

namespace {

    struct Event {
        bool manualReset = false;
        bool signalled = false;
        // When the event becomes signalled by itself; max() for never.
        EventTime due = EventTime::max();
    };

    // All events share one lock and one condition: there are a handful of
    // them, signalled a few dozen times a second, so a waiter woken for
    // another thread's event costs next to nothing. Handles are checked
    // against the live set, so a stale or foreign handle fails instead of
    // being followed.
    struct Registry {
        std::mutex mutex;
        std::condition_variable changed;
        std::unordered_set<Event *> live;

        Event *find(HANDLE handle)
        {
            const auto found = live.find(static_cast<Event *>(handle));
            return found == live.end() ? nullptr : *found;
        }
    };

    // Never destroyed: a thread may still wait while the process exits.
    Registry &registry()
    {
        static Registry *instance = new Registry;
        return *instance;
    }

    // Calls change(registry, event) under the registry's lock when handle
    // names a live event: 1, else 0.
    template <class Change> BOOL changeEvent(HANDLE handle, Change change)
    {
        Registry &r = registry();
        std::lock_guard<std::mutex> lock(r.mutex);
        Event *event = r.find(handle);
        if (!event)
            return 0;
        change(r, event);
        return 1;
    }

    // Turns a due time that has come into the signalled state.
    bool isSignalled(Event &event, EventTime now)
    {
        if (!event.signalled && event.due <= now) {
            event.signalled = true;
            event.due = EventTime::max();
        }
        return event.signalled;
    }

} // namespace

BOOL signalEventAt(HANDLE handle, EventTime time)
{
    return changeEvent(handle, [time](Registry &r, Event *event) {
        event->due = time;
        r.changed.notify_all();
    });
}

int liveEvents()
{
    Registry &r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return static_cast<int>(r.live.size());
}

} // namespace camera

using camera::EventTime;

HANDLE CreateEvent(BOOL manualReset, BOOL initialState)
{
    auto *event = new camera::Event;
    event->manualReset = manualReset != 0;
    event->signalled = initialState != 0;
    auto &r = camera::registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.live.insert(event);
    return event;
}

BOOL SetEvent(HANDLE handle)
{
    return camera::changeEvent(handle, [](camera::Registry &r, camera::Event *event) {
        event->signalled = true;
        event->due = EventTime::max();
        r.changed.notify_all();
    });
}

BOOL ResetEvent(HANDLE handle)
{
    return camera::changeEvent(handle, [](camera::Registry &, camera::Event *event) {
        event->signalled = false;
        event->due = EventTime::max();
    });
}

BOOL CloseHandle(HANDLE handle)
{
    return camera::changeEvent(handle, [](camera::Registry &r, camera::Event *event) {
        r.live.erase(event);
        delete event;
    });
}

DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL waitAll, DWORD milliseconds)
{
    if (!handles || count == 0 || count > MAXIMUM_WAIT_OBJECTS || waitAll)
        return WAIT_FAILED;
    auto &r = camera::registry();
    std::unique_lock<std::mutex> lock(r.mutex);
    const EventTime end = milliseconds == INFINITE
        ? EventTime::max()
        : std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        const EventTime now = std::chrono::steady_clock::now();
        EventTime wake = end;
        for (DWORD i = 0; i < count; ++i) {
            camera::Event *event = r.find(handles[i]);
            if (!event)
                return WAIT_FAILED;
            if (camera::isSignalled(*event, now)) {
                if (!event->manualReset)
                    event->signalled = false;
                return WAIT_OBJECT_0 + i;
            }
            wake = std::min(wake, event->due);
        }
        if (now >= end)
            return WAIT_TIMEOUT;
        // wait_until cannot take max(): its conversions would overflow.
        if (wake == EventTime::max())
            r.changed.wait(lock);
        else
            r.changed.wait_until(lock, wake);
    }
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    return WaitForMultipleObjects(1, &handle, 0, milliseconds);
}
