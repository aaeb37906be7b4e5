#include "sensor/KinectSdk.h"

#include "sensor/sources/Source.h"
#include "sensor/sources/SourceDevice.h"

HRESULT GetDefaultKinectSensor(IKinectSensor **sensor)
{
    if (!sensor)
        return E_POINTER;
    std::shared_ptr<camera::Source> source = camera::installedSource();
    if (!source)
        source = camera::sourceFromEnvironment();
    *sensor = camera::createKinectSensor(std::move(source));
    return S_OK;
}
