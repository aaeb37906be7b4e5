#pragma once

#include "sensor/sources/PageMessage.h"
#include "sensor/sources/VideoPictures.h"

#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

namespace httplib {
class Server;
struct Request;
struct Response;
}

namespace camera {

// Where the hand page's files are: the page itself (hands.html, handpage.js)
// and the hand model's package (hands.js, its wasm and model files).
struct HandPageFiles {
    QString pageDirectory;
    QString modelDirectory;

    // The installed copy (share/handmotion/page beside the executable's
    // directory) when there is one, else the source tree's, whose model
    // files npm ci puts in sensor/sources/page/node_modules. False, with
    // what is missing in error, when neither has every file.
    static bool locate(HandPageFiles &files, QString &error);
    // Whether directories hold every file the page needs.
    bool isComplete(QString &missing) const;
};

// The largest preview picture the page may send.
constexpr std::size_t maxPreviewBytes = 1u << 20;

// Serves the hand page to one browser on 127.0.0.1, on a port the system
// chooses, under a random token: every address is /TOKEN/..., and a request
// with any other first path element is refused. The page's requests:
//   GET  hands.html, handpage.js, mediapipe/FILE   the page and the model
//   GET  config                                    what to run (JSON)
//   POST next           the file's next picture (204 after the last)
//   POST message        a PageMessage (JSON, at most maxPageMessageBytes)
//   POST picture?i=N    a preview JPEG of picture N (at most maxPreviewBytes)
// What is refused or malformed is answered with an error status, counted,
// and summed up by takeReport(). The handlers run on the server's threads.
class PageServer {
public:
    struct Handlers {
        std::function<std::string()> config;
        // The next picture of a file; false when there is none (now or
        // ever). May block.
        std::function<bool(VideoPicture &)> nextPicture;
        std::function<void(PageMessage &&)> message;
        std::function<void(std::int64_t index, std::string &&jpeg)> picture;
    };

    PageServer(HandPageFiles files, Handlers handlers, std::string reportPrefix);
    ~PageServer();
    PageServer(const PageServer &) = delete;
    PageServer &operator=(const PageServer &) = delete;

    // Binds and starts serving with a new token. False, with why, when no
    // port can be bound.
    bool start(QString &error);
    // Stops serving and joins the threads; handlers blocked in nextPicture
    // must be released by their owner first.
    void stop();

    std::uint16_t port() const { return m_port; }
    const std::string &token() const { return m_token; }
    // http://127.0.0.1:PORT/TOKEN/hands.html
    std::string pageAddress() const;

    // The line that sums up what was ignored, when one is due (see
    // PageInputTally), else empty.
    std::string takeReport(std::chrono::nanoseconds now);
    std::uint64_t ignoredTotal(PageIgnored kind);

private:
    void answer(const httplib::Request &req, httplib::Response &res);
    void serveFile(const std::string &name, httplib::Response &res);
    void answerNext(httplib::Response &res);
    void answerMessage(const httplib::Request &req, httplib::Response &res);
    void answerPicture(const httplib::Request &req, httplib::Response &res);
    void count(
        int status, const std::string &method, const std::string &path, const std::string &detail);

    HandPageFiles m_files;
    Handlers m_handlers;
    std::unique_ptr<httplib::Server> m_server;
    std::thread m_thread;
    std::atomic<bool> m_listenReturned { false };
    std::uint16_t m_port = 0;
    std::string m_token;
    // Files served under mediapipe/, by name: what the model's folder holds.
    std::map<std::string, std::string> m_modelFiles;
    std::mutex m_tallyMutex;
    PageInputTally m_tally;
};

} // namespace camera
