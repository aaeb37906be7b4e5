#include "sensor/sources/PageServer.h"

#include <httplib.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <csignal>
#include <pthread.h>

// The page's folder in the source tree, for a program run from its build
// tree; the build sets it.
#ifndef HANDMOTION_SOURCE_PAGE_DIR
#define HANDMOTION_SOURCE_PAGE_DIR ""
#endif
#ifndef HANDMOTION_DATA_FROM_BINARY
#define HANDMOTION_DATA_FROM_BINARY "../share/handmotion"
#endif

namespace camera {

namespace {

    const char *const pageFileNames[] = { "hands.html", "handpage.js" };
    // What the model's package must hold for the page to run (the wasm
    // loader picks one of the two builds by the browser's support of SIMD).
    const char *const modelFileNames[] = { "hands.js", "hands.binarypb",
        "hands_solution_packed_assets.data", "hands_solution_packed_assets_loader.js",
        "hands_solution_simd_wasm_bin.js", "hands_solution_simd_wasm_bin.wasm",
        "hands_solution_wasm_bin.js", "hands_solution_wasm_bin.wasm", "hand_landmark_full.tflite",
        "hand_landmark_lite.tflite" };

    // Threads serving the page: a browser opens up to six connections to one
    // host, and a file's next picture may keep one of them waiting.
    constexpr std::size_t serverThreads = 8;
    // An idle connection gives its thread back after this long.
    constexpr time_t keepAliveSeconds = 2;

    std::string mimeType(const std::string &name)
    {
        const auto endsWith = [&name](const char *suffix) {
            const std::string s(suffix);
            return name.size() >= s.size()
                && name.compare(name.size() - s.size(), s.size(), s) == 0;
        };
        if (endsWith(".html"))
            return "text/html; charset=utf-8";
        if (endsWith(".js"))
            return "text/javascript; charset=utf-8";
        if (endsWith(".wasm"))
            return "application/wasm";
        return "application/octet-stream";
    }

    bool readWholeFile(const QString &path, std::string &content)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError)
            return false;
        content.assign(bytes.constData(), std::size_t(bytes.size()));
        return true;
    }

    // What of a request's path may appear in a report: printable, short.
    std::string printablePath(const std::string &path)
    {
        std::string out;
        for (const char c : path.substr(0, 60))
            out += (c >= 0x20 && c < 0x7f) ? c : '?';
        return path.size() > 60 ? out + "..." : out;
    }

    std::string randomToken()
    {
        static const char hex[] = "0123456789abcdef";
        std::string token;
        for (int k = 0; k < 4; ++k) {
            const quint32 word = QRandomGenerator::system()->generate();
            for (int nibble = 0; nibble < 8; ++nibble)
                token += hex[(word >> (4 * nibble)) & 0xf];
        }
        return token;
    }

    void refuse(httplib::Response &res, int status, const std::string &why)
    {
        res.status = status;
        res.set_content(why, "text/plain");
    }

} // namespace

bool HandPageFiles::isComplete(QString &missing) const
{
    QStringList absent;
    for (const char *name : pageFileNames) {
        if (!QFileInfo(QDir(pageDirectory).filePath(QLatin1String(name))).isFile())
            absent << QDir(pageDirectory).filePath(QLatin1String(name));
    }
    for (const char *name : modelFileNames) {
        if (!QFileInfo(QDir(modelDirectory).filePath(QLatin1String(name))).isFile())
            absent << QDir(modelDirectory).filePath(QLatin1String(name));
    }
    missing = absent.join(QStringLiteral(", "));
    return absent.isEmpty();
}

bool HandPageFiles::locate(HandPageFiles &files, QString &error)
{
    QStringList tried;
    if (QCoreApplication::instance()) {
        const QString installed
            = QDir::cleanPath(QDir(QCoreApplication::applicationDirPath())
                                  .filePath(QStringLiteral(HANDMOTION_DATA_FROM_BINARY "/page")));
        files.pageDirectory = installed;
        files.modelDirectory = QDir(installed).filePath(QStringLiteral("mediapipe"));
        QString missing;
        if (files.isComplete(missing))
            return true;
        tried << installed;
    }
    const QString source = QStringLiteral(HANDMOTION_SOURCE_PAGE_DIR);
    if (!source.isEmpty()) {
        files.pageDirectory = source;
        files.modelDirectory
            = QDir(source).filePath(QStringLiteral("node_modules/@mediapipe/hands"));
        QString missing;
        if (files.isComplete(missing))
            return true;
        error = QStringLiteral("the hand page's files are missing (%1); in a source tree, run "
                               "\"npm ci\" in %2 (scripts/run does)")
                    .arg(missing, source);
        return false;
    }
    error = QStringLiteral("the hand page's files are missing from %1; reinstall handmotion")
                .arg(tried.join(QStringLiteral(", ")));
    return false;
}

PageServer::PageServer(HandPageFiles files, Handlers handlers, std::string reportPrefix)
    : m_files(std::move(files))
    , m_handlers(std::move(handlers))
    , m_tally(std::move(reportPrefix))
{
}

PageServer::~PageServer() { stop(); }

std::string PageServer::pageAddress() const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + '/' + m_token + "/hands.html";
}

void PageServer::count(
    int status, const std::string &method, const std::string &path, const std::string &detail)
{
    PageIgnored kind;
    switch (status) {
    case 403:
        kind = PageIgnored::WrongToken;
        break;
    case 400:
        kind = PageIgnored::MalformedMessage;
        break;
    case 413:
        kind = PageIgnored::OversizedMessage;
        break;
    case 404:
    case 405:
        kind = PageIgnored::UnknownRequest;
        break;
    default:
        return;
    }
    std::string what = method + ' ' + printablePath(path);
    if (!detail.empty() && kind == PageIgnored::MalformedMessage)
        what += ": " + detail.substr(0, 200);
    std::lock_guard<std::mutex> lock(m_tallyMutex);
    m_tally.add(kind, what);
}

std::string PageServer::takeReport(std::chrono::nanoseconds now)
{
    std::lock_guard<std::mutex> lock(m_tallyMutex);
    return m_tally.takeReport(now);
}

std::uint64_t PageServer::ignoredTotal(PageIgnored kind)
{
    std::lock_guard<std::mutex> lock(m_tallyMutex);
    return m_tally.total(kind);
}

void PageServer::answer(const httplib::Request &req, httplib::Response &res)
{
    const std::string prefix = '/' + m_token + '/';
    if (req.path.size() <= prefix.size()
        || !tokenMatches(req.path.substr(0, prefix.size()), prefix)) {
        refuse(res, 403, "wrong token");
        return;
    }
    const std::string name = req.path.substr(prefix.size());
    if (req.method == "GET") {
        serveFile(name, res);
        return;
    }
    if (name == "next")
        answerNext(res);
    else if (name == "message")
        answerMessage(req, res);
    else if (name == "picture")
        answerPicture(req, res);
    else
        refuse(res, 404, "no such request");
}

void PageServer::serveFile(const std::string &name, httplib::Response &res)
{
    if (name == "config") {
        res.set_header("Cache-Control", "no-store");
        res.set_content(m_handlers.config(), "application/json");
        return;
    }
    std::string file;
    for (const char *page : pageFileNames) {
        if (name == page)
            file = QDir(m_files.pageDirectory).filePath(QLatin1String(page)).toStdString();
    }
    const std::string model = "mediapipe/";
    if (name.compare(0, model.size(), model) == 0) {
        const auto found = m_modelFiles.find(name.substr(model.size()));
        if (found != m_modelFiles.end())
            file = found->second;
    }
    std::string content;
    if (file.empty() || !readWholeFile(QString::fromStdString(file), content)) {
        refuse(res, 404, "no such file");
        return;
    }
    res.set_content(std::move(content), mimeType(name).c_str());
}

void PageServer::answerNext(httplib::Response &res)
{
    VideoPicture picture;
    if (!m_handlers.nextPicture || !m_handlers.nextPicture(picture)) {
        res.status = 204;
        return;
    }
    res.set_header("X-Frame-Index", std::to_string(picture.index));
    res.set_header("X-Frame-Time", std::to_string(picture.timeMicroseconds));
    if (picture.format == VideoPicture::Format::Rgba) {
        res.set_header("X-Frame-Width", std::to_string(picture.width));
        res.set_header("X-Frame-Height", std::to_string(picture.height));
        res.set_content(std::move(picture.bytes), "application/octet-stream");
    } else {
        res.set_content(std::move(picture.bytes), "image/jpeg");
    }
}

void PageServer::answerMessage(const httplib::Request &req, httplib::Response &res)
{
    if (req.body.size() > maxPageMessageBytes) {
        refuse(res, 413, "message too large");
        return;
    }
    PageMessage message;
    std::string why;
    if (!readPageMessage(req.body.data(), req.body.size(), message, why)) {
        refuse(res, 400, why);
        return;
    }
    m_handlers.message(std::move(message));
    res.status = 204;
}

void PageServer::answerPicture(const httplib::Request &req, httplib::Response &res)
{
    const std::string text = req.get_param_value("i");
    char *end = nullptr;
    const long long index = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || text.size() > 15 || *end != '\0' || index < 0) {
        refuse(res, 400, "a picture without its number");
        return;
    }
    if (req.body.size() < 4 || static_cast<unsigned char>(req.body[0]) != 0xff
        || static_cast<unsigned char>(req.body[1]) != 0xd8) {
        refuse(res, 400, "a picture that is not a JPEG");
        return;
    }
    m_handlers.picture(index, std::string(req.body));
    res.status = 204;
}

bool PageServer::start(QString &error)
{
    stop();
    m_token = randomToken();
    m_modelFiles.clear();
    for (const char *name : modelFileNames)
        m_modelFiles[name]
            = QDir(m_files.modelDirectory).filePath(QLatin1String(name)).toStdString();
    m_server = std::make_unique<httplib::Server>();
    httplib::Server &server = *m_server;
    server.new_task_queue = [] { return new httplib::ThreadPool(serverThreads); };
    server.set_keep_alive_timeout(keepAliveSeconds);
    server.set_keep_alive_max_count(100000);
    // An answer's headers and body leave in separate writes: with Nagle's
    // algorithm the body would wait for the browser's delayed ACK of the
    // headers, up to 40 ms a request, two requests a picture.
    server.set_tcp_nodelay(true);
    server.set_payload_max_length(maxPreviewBytes);
    server.set_logger([this](const httplib::Request &req, const httplib::Response &res) {
        count(res.status, req.method, req.path, res.body);
    });
    // Every request is answered by route(), after its body was read (an
    // unread body would be taken for the connection's next request).
    const auto route
        = [this](const httplib::Request &req, httplib::Response &res) { answer(req, res); };
    server.Get(".*", route);
    server.Post(".*", route);
    const int port = server.bind_to_any_port("127.0.0.1");
    if (port <= 0) {
        error = QStringLiteral("cannot listen on 127.0.0.1");
        m_server.reset();
        return false;
    }
    m_port = std::uint16_t(port);
    m_listenReturned = false;
    m_thread = std::thread([this] {
        // A browser that closes a connection while an answer is written
        // must not end the program: the write fails with EPIPE instead.
        // The server's worker threads start here and inherit the mask.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        m_server->listen_after_bind();
        m_listenReturned = true;
    });
    return true;
}

void PageServer::stop()
{
    if (m_server) {
        // The server only stops once it runs: a stop() that came first would
        // be lost and the join would never return.
        while (!m_server->is_running() && !m_listenReturned)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        m_server->stop();
        if (m_thread.joinable())
            m_thread.join();
        m_server.reset();
    }
    m_port = 0;
}

} // namespace camera
