#include "sensor/sources/Source.h"

#include "sensor/sources/DemoSource.h"
#include "sensor/sources/HandSource.h"
#include "sensor/sources/OscSource.h"
#include "sensor/sources/ReplaySource.h"

#include <QDebug>
#include <QFileInfo>

#include <algorithm>
#include <mutex>
#include <utility>

namespace camera {

namespace {

    std::shared_ptr<Source> &installed()
    {
        static std::shared_ptr<Source> source;
        return source;
    }

    const char *const validSettings
        = "none (no camera), demo (the built-in demonstration operator), "
          "replay:PATH (PATH a .csv or .skeleton recording), osc[:[ADDRESS:]PORT] (body "
          "frames received over OSC, on 127.0.0.1:12345 unless told), webcam[:/dev/videoN] "
          "(hands seen by a camera) or video:PATH (hands in a video file)";

    // The command line's choice; null while there is none.
    QString &settingOverride()
    {
        static QString setting;
        return setting;
    }

    constexpr QLatin1String replayPrefix("replay:");

    bool isOscSetting(const QString &setting)
    {
        return setting == QLatin1String("osc") || setting.startsWith(QLatin1String("osc:"));
    }

} // namespace

struct Source::ArrivalEvents {
    std::mutex mutex;
    std::vector<HANDLE> body;
    std::vector<HANDLE> color;

    std::vector<HANDLE> &of(Stream stream) { return stream == Stream::Body ? body : color; }
    void signal(Stream stream)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (HANDLE event : of(stream))
            SetEvent(event);
    }
};

Source::Source()
    : m_arrivalEvents(std::make_unique<ArrivalEvents>())
{
}

Source::~Source() = default;

void Source::bodyFrameArrived() { m_arrivalEvents->signal(Stream::Body); }

void Source::colorFrameArrived() { m_arrivalEvents->signal(Stream::Color); }

void Source::addArrivalEvent(Stream stream, HANDLE event)
{
    std::lock_guard<std::mutex> lock(m_arrivalEvents->mutex);
    m_arrivalEvents->of(stream).push_back(event);
}

void Source::removeArrivalEvent(Stream stream, HANDLE event)
{
    std::lock_guard<std::mutex> lock(m_arrivalEvents->mutex);
    std::vector<HANDLE> &events = m_arrivalEvents->of(stream);
    events.erase(std::remove(events.begin(), events.end(), event), events.end());
}

void Source::colorFrame(std::int64_t, ColorImage &) { }

void installSource(std::shared_ptr<Source> source) { installed() = std::move(source); }

std::shared_ptr<Source> installedSource() { return installed(); }

ScopedSource::ScopedSource(std::shared_ptr<Source> source)
    : m_previous(installedSource())
{
    installSource(std::move(source));
}

ScopedSource::~ScopedSource() { installSource(std::move(m_previous)); }

QString cameraSettingError(const QString &setting)
{
    if (setting.isEmpty() || setting == QLatin1String("none") || setting == QLatin1String("demo"))
        return QString();
    if (setting.startsWith(replayPrefix)) {
        const QString path = setting.mid(replayPrefix.size());
        if (!ReplaySource::isRecordingPath(path))
            return QStringLiteral("cannot replay \"%1\": a recording's name ends in .csv or "
                                  ".skeleton")
                .arg(path);
        return QString();
    }
    if (isOscSetting(setting)) {
        OscEndpoint endpoint;
        QString error;
        return readOscSetting(setting, endpoint, error) ? QString() : error;
    }
    if (isHandSourceSetting(setting)) {
        HandSourceSetting hands;
        QString error;
        return readHandSourceSetting(setting, hands, error) ? QString() : error;
    }
    return QStringLiteral("unknown camera source \"%1\"; valid values are %2")
        .arg(setting, QLatin1String(validSettings));
}

std::shared_ptr<Source> sourceFromSetting(const QString &setting)
{
    const QString error = cameraSettingError(setting);
    if (!error.isEmpty()) {
        qWarning().noquote() << QStringLiteral("HANDMOTION_CAMERA: ") + error;
        return nullptr;
    }
    if (setting.isEmpty() || setting == QLatin1String("none"))
        return nullptr;
    if (setting == QLatin1String("demo"))
        return std::make_shared<DemoSource>();
    if (isOscSetting(setting)) {
        OscEndpoint endpoint;
        QString unused;
        readOscSetting(setting, endpoint, unused);
        return std::make_shared<OscSource>(endpoint);
    }
    if (isHandSourceSetting(setting)) {
        HandSourceSetting hands;
        QString unused;
        readHandSourceSetting(setting, hands, unused);
        return std::make_shared<HandSource>(hands);
    }
    return std::make_shared<ReplaySource>(setting.mid(replayPrefix.size()));
}

void overrideCameraSetting(const QString &setting) { settingOverride() = setting; }

QString cameraSetting()
{
    const QString &chosen = settingOverride();
    return chosen.isNull() ? qEnvironmentVariable("HANDMOTION_CAMERA") : chosen;
}

std::shared_ptr<Source> sourceFromEnvironment() { return sourceFromSetting(cameraSetting()); }

} // namespace camera
