#include "winmm/pulse_sources.h"

#include <memory>

namespace winmm::pulse {

bool SourceQuery::Start(pa_context* context, Done done)
{
    done_ = std::move(done);
    list_ = SourceList{};
    monitors_.clear();
    pa_operation* op = pa_context_get_server_info(context, &SourceQuery::OnServer, this);
    if (!op) return Log("pa_context_get_server_info", pa_strerror(pa_context_errno(context))), false;
    pa_operation_unref(op);
    busy_ = true;
    return true;
}

void SourceQuery::Finish(std::optional<SourceList> list)
{
    busy_ = false;
    done_(std::move(list));
}

void SourceQuery::OnServer(pa_context* c, const pa_server_info* info, void* userdata)
{
    auto* self = static_cast<SourceQuery*>(userdata);
    if (!info) return self->Finish(std::nullopt);
    self->list_.defaultSource = info->default_source_name ? info->default_source_name : "";
    self->defaultSink_ = info->default_sink_name ? info->default_sink_name : "";
    pa_operation* op = pa_context_get_source_info_list(c, &SourceQuery::OnSource, self);
    if (!op) {
        Log("pa_context_get_source_info_list", pa_strerror(pa_context_errno(c)));
        return self->Finish(std::nullopt);
    }
    pa_operation_unref(op);
}

void SourceQuery::OnSource(pa_context*, const pa_source_info* info, int eol, void* userdata)
{
    auto* self = static_cast<SourceQuery*>(userdata);
    if (eol < 0) return self->Finish(std::nullopt);
    if (eol > 0) {
        for (const auto& [source, sink] : self->monitors_) {
            if (sink == self->defaultSink_) self->list_.defaultMonitor = source;
        }
        return self->Finish(std::move(self->list_));
    }
    if (!info || !info->name) return;
    self->list_.sources.push_back(
        {info->name, info->description ? info->description : info->name, info->channel_map.channels});
    if (info->monitor_of_sink != PA_INVALID_INDEX && info->monitor_of_sink_name) {
        self->monitors_.emplace_back(info->name, info->monitor_of_sink_name);
    }
}

std::optional<SourceList> ReadSources(Connection& connection, SourceQuery& query, pa_usec_t timeout)
{
    struct Answer {
        std::optional<SourceList> list;
        bool done = false;
    };
    auto answer = std::make_shared<Answer>();
    const bool sent = query.Start(connection.context(), [answer, &connection](std::optional<SourceList> list) {
        answer->list = std::move(list);
        answer->done = true;
        connection.Signal();
    });
    if (!sent || !connection.WaitUntil([&answer] { return answer->done; }, timeout)) return std::nullopt;
    return std::move(answer->list);
}

}  // namespace winmm::pulse
