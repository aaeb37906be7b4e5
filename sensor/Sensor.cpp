#include "sensor/Sensor.h"

#include "algebra/KeyPoseList.h"

#include <QLabel>

namespace Kinect {

Sensor::Sensor(QLabel *colorLabel, QLabel *skeletonLabel)
    : colorLabel(colorLabel)
    , skeletonLabel(skeletonLabel)
    , keyPositionList(new KeyPoseList)
    , continuousList(new KeyPoseList)
{
    startUp();
}

Sensor::~Sensor()
{
    delete keyPositionList;
    keyPositionList = nullptr;
    delete continuousList;
    continuousList = nullptr;
}

void Sensor::startUp() { }

std::vector<DualQuaternion> Sensor::keyPositions() const { return keyPositionList->poses(); }

std::vector<DualQuaternion> Sensor::continuousPositions() const
{
    return continuousList->poses();
}

void Sensor::addKeyPosition(const DualQuaternion &pose) { keyPositionList->append(pose); }

void Sensor::clearKeyPositions() { keyPositionList->clear(); }

void Sensor::clearContinuousPositions() { continuousList->clear(); }

void Sensor::updateColorFrame() { }

void Sensor::updateSkeletonFrame() { }

void Sensor::StoreKeyPosition(bool) { }

} // namespace Kinect
