// Linked into every test and benchmark program: before main() runs, HOME and
// the XDG base directories (config, state, cache, data, runtime) point into
// a new, empty directory of the process's own, removed again at exit. What
// the programs write for the user (the session journal, the file dialog's
// history in QtProject.conf, font and shader caches) lands there and never
// in the user's own home; none of them finds what another run left, so no
// window asks to restore a session unless the test put one there; and
// programs running side by side never share one. Programs they start
// inherit the variables.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

struct FreshHome {
    FreshHome()
    {
        if (!directory.isValid()) {
            std::fprintf(
                stderr, "cannot create a home directory in %s\n", qPrintable(QDir::tempPath()));
            std::abort();
        }
        const QDir home(directory.path());
        // QTemporaryDir makes the directory readable by its owner alone, as
        // the runtime directory must be.
        setTo("HOME", home.path());
        setTo("XDG_RUNTIME_DIR", home.path());
        setTo("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")));
        setTo("XDG_STATE_HOME", home.filePath(QStringLiteral(".local/state")));
        setTo("XDG_CACHE_HOME", home.filePath(QStringLiteral(".cache")));
        setTo("XDG_DATA_HOME", home.filePath(QStringLiteral(".local/share")));
    }

    static void setTo(const char *variable, const QString &path)
    {
        if (!QDir().mkpath(path)) {
            std::fprintf(stderr, "cannot create %s\n", qPrintable(path));
            std::abort();
        }
        qputenv(variable, QFile::encodeName(path));
    }

    QTemporaryDir directory { QDir::tempPath() + QStringLiteral("/handmotion-home-XXXXXX") };
};

const FreshHome freshHome;

} // namespace
