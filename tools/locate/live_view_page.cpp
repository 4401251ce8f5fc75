#include "live_view_page.h"

#include <nlohmann/json.hpp>

namespace tools {

// Built from live_view.html.
extern const char kLiveViewHtml[];

namespace {
constexpr const char *kConfigSlot = "/*LIVE_VIEW_CONFIG*/null";

// Inside a script element, "</" could end it early whatever the JSON around it says.
std::string script_safe(std::string json) {
    for (std::size_t at = json.find('<'); at != std::string::npos; at = json.find('<', at))
        json.replace(at, 1, "\\u003c");
    return json;
}
} // namespace

std::string live_view_page(const LiveViewSetup &setup) {
    const AngleSpan angles = reported_angles(setup.shape);
    const nlohmann::ordered_json config{
        {"input", setup.input},
        {"geometry", setup.shape == ArrayShape::linear ? "linear" : "circular"},
        {"microphones", setup.microphones},
        {"spacing_cm", setup.spacing_cm},
        {"angle_min", angles.lowest},
        {"angle_max", angles.highest},
        {"row_seconds", setup.row_seconds},
        {"history_seconds", kLiveViewHistorySeconds}};
    std::string page = kLiveViewHtml;
    const auto slot = page.find(kConfigSlot);
    if (slot != std::string::npos)
        page.replace(slot, std::string(kConfigSlot).size(),
                     script_safe(config.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)));
    return page;
}

} // namespace tools
