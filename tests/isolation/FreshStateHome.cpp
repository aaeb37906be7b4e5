// Linked into every test and benchmark program that may build a main window:
// before main() runs, XDG_STATE_HOME points at a new, empty directory of the
// process's own, removed again at exit. The windows it builds (and the
// programs it starts, which inherit the variable) keep their session journal
// there, never in the user's ~/.local/state; none of them finds a journal
// left by another run, so none asks to restore one unless the program put it
// there; and programs running side by side never share one.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

struct FreshStateHome {
    FreshStateHome()
    {
        if (!directory.isValid()) {
            std::fprintf(
                stderr, "cannot create a state directory in %s\n", qPrintable(QDir::tempPath()));
            std::abort();
        }
        qputenv("XDG_STATE_HOME", QFile::encodeName(directory.path()));
    }
    QTemporaryDir directory { QDir::tempPath() + QStringLiteral("/handmotion-state-XXXXXX") };
};

const FreshStateHome freshStateHome;

} // namespace
