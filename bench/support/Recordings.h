#pragma once

#include <QStringList>

namespace bench {

// The recorded body-tracking sessions (.csv) beside the repository, by name;
// empty where there are none (a fresh clone), and the rows that need them
// then say they were skipped. HANDMOTION_RECORDINGS names another directory.
QStringList recordingFiles();

} // namespace bench
