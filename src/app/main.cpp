// Tessaly: opens survey point files, shows the points in a grid and saves
// them as ASCII PNEZD, delimited text, LandXML or DXF.
//   tessaly [FILE...]   opens the first FILE at start, as File, Open would
//   tessaly --help | --version
#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QPluginLoader>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

#include "app/points_window.h"
#include "app/translations.h"

namespace {

const char kUsage[] =
    "Usage: tessaly [FILE]\n"
    "\n"
    "Opens the Tessaly window: the points of a survey point file in an editable\n"
    "grid, saved as ASCII PNEZD, delimited text, LandXML or DXF. FILE is opened\n"
    "at start the way File, Open opens it (the reader is chosen by the ending of\n"
    "the name and, for text and XML names, by the content); of several files\n"
    "only the first is opened.\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
    "Without a display, convert files with tessaly-convert or run the window\n"
    "on a virtual display with xvfb-run.\n";

// Says why there is no display, and what can be done instead, in one line.
void NoDisplay(const std::string& why)
{
    std::fprintf(stderr,
                 "tessaly: no display to show the window on (%s); convert files with tessaly-convert INPUT "
                 "OUTPUT.asc, or run the window on a virtual display: xvfb-run tessaly [FILE]\n",
                 why.c_str());
}

std::string Env(const char* variable)
{
    const char* value = std::getenv(variable);
    return value ? value : "";
}

// The platform plugins Qt can load, by their keys in lower case.
QStringList PlatformPlugins()
{
    QStringList folders;
    for (const QString& path : QCoreApplication::libraryPaths()) folders << path + "/platforms";
    if (const QString own = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH"); !own.isEmpty()) folders << own;
    QStringList keys;
    for (const QString& folder : folders)
        for (const QString& file : QDir(folder).entryList(QDir::Files)) {
            const QJsonObject meta =
                QPluginLoader(folder + "/" + file).metaData().value("MetaData").toObject();
            for (const QJsonValue key : meta.value("Keys").toArray())
                if (!keys.contains(key.toString().toLower())) keys << key.toString().toLower();
        }
    keys.sort();
    return keys;
}

// An X server answers at DISPLAY (with the authority Qt would use).
bool X11Answers(std::string& why)
{
    const std::string display = Env("DISPLAY");
    if (display.empty()) return why = "DISPLAY is not set", false;
    xcb_connection_t* connection = xcb_connect(display.c_str(), nullptr);
    const bool fine = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!fine) why = "the X11 display \"" + display + "\" does not answer";
    return fine;
}

// A Wayland compositor listens at WAYLAND_DISPLAY ("wayland-0" when not
// set), a name under XDG_RUNTIME_DIR or a path.
bool WaylandAnswers(std::string& why)
{
    if (!Env("WAYLAND_SOCKET").empty()) return true;  // a connection handed over by the compositor
    std::string name = Env("WAYLAND_DISPLAY");
    if (name.empty()) name = "wayland-0";
    std::string path = name;
    if (!name.starts_with('/')) {
        const std::string runtime = Env("XDG_RUNTIME_DIR");
        if (runtime.empty()) return why = "XDG_RUNTIME_DIR is not set, so Wayland cannot be reached", false;
        path = runtime + "/" + name;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    bool fine = path.size() < sizeof address.sun_path;
    if (fine) {
        path.copy(address.sun_path, path.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        fine = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        if (fd >= 0) ::close(fd);
    }
    if (!fine) why = "no Wayland compositor at \"" + name + "\"";
    return fine;
}

// True when one of the platforms Qt would try can show the window; else
// WHY says what is missing. Qt aborts when none can.
bool DisplayReachable(std::string& why)
{
    QStringList platforms;
    const QString chosen = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!chosen.isEmpty()) {
        // "wayland;xcb" tries each in turn; ":" starts a plugin's options.
        for (const QString& entry : chosen.split(';', Qt::SkipEmptyParts)) platforms << entry.section(':', 0, 0);
    } else {
        // Qt's own choice: X11, after Wayland in a Wayland session other
        // than GNOME's.
        const QString session = qEnvironmentVariable("XDG_SESSION_TYPE");
        const QString desktop =
            (qEnvironmentVariable("XDG_CURRENT_DESKTOP") + qEnvironmentVariable("XDG_SESSION_DESKTOP")).toLower();
        if (session == "wayland" && !desktop.contains("gnome")) platforms << "wayland";
        platforms << "xcb";
    }
    const QStringList available = PlatformPlugins();
    for (const QString& platform : platforms) {
        const QString name = platform.toLower();
        if (!available.contains(name)) {
            why = "Qt has no display platform \"" + platform.toStdString() + "\"; it has " +
                  available.join(", ").toStdString();
            continue;
        }
        if (name == "xcb" ? X11Answers(why) : name.startsWith("wayland") ? WaylandAnswers(why) : true) return true;
    }
    return false;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> files;
    bool options = true;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (options && arg == "--") {
            options = false;
        } else if (options && (arg == "--help" || arg == "-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (options && arg == "--version") {
            std::printf("tessaly %s\n", TESSALY_VERSION);
            return 0;
        } else {
            files.emplace_back(arg);
        }
    }
    // Qt would abort with advice to reinstall; say what can be done instead.
    if (Env("DISPLAY").empty() && Env("WAYLAND_DISPLAY").empty() && Env("QT_QPA_PLATFORM").empty()) {
        NoDisplay("no X11 or Wayland session");
        return 1;
    }
    if (std::string why; !DisplayReachable(why)) {
        NoDisplay(why);
        return 1;
    }

    // Only the program's name reaches Qt: nothing else on the command line
    // changes what the program does.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    // The desktop's language; --help and the messages above stay English.
    tessaly::InstallTranslations();
    tessaly::PointsWindow window;
    window.show();
    // Once the window is up, so that a question about the file (its columns,
    // a failed load) appears over it.
    QTimer::singleShot(0, &window, [&window, files] { window.OpenFirstFile(files); });
    return app.exec();
}
