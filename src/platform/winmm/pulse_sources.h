// Reading the server's sources and its defaults.
#pragma once

#include "winmm/pulse_connection.h"
#include "winmm/source_choice.h"

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace winmm::pulse {

// Reads the server's defaults, then its sources. Its callbacks run on the
// loop's thread; the owner keeps it alive until the loop has stopped.
class SourceQuery {
public:
    using Done = std::function<void(std::optional<SourceList>)>;

    // False when the first request could not be sent.
    bool Start(pa_context* context, Done done);

    bool Busy() const { return busy_; }

private:
    void Finish(std::optional<SourceList> list);
    static void OnServer(pa_context* c, const pa_server_info* info, void* userdata);
    static void OnSource(pa_context*, const pa_source_info* info, int eol, void* userdata);

    Done done_;
    SourceList list_;
    std::string defaultSink_;
    std::vector<std::pair<std::string, std::string>> monitors_;  // monitor, its sink
    bool busy_ = false;
};

// The list, read over `connection` while its lock is held. `query` must
// outlive the connection's loop: an answer may come after the wait gave up.
std::optional<SourceList> ReadSources(Connection& connection, SourceQuery& query, pa_usec_t timeout = kConnectTimeout);

}  // namespace winmm::pulse
