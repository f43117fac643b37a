#include "promo-server/Figures.h"

#include "core/Json.h"
#include "core/StringAdditions.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <set>

namespace vq::promo {

namespace {

std::string dayOf(std::int64_t milliseconds)
{
    auto days = std::chrono::floor<std::chrono::days>(std::chrono::sys_time<std::chrono::milliseconds>(
        std::chrono::milliseconds(milliseconds)));
    std::chrono::year_month_day ymd(days);
    return fmt::format("{:04}-{:02}-{:02}", static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                       static_cast<unsigned>(ymd.day()));
}

std::string escaped(const std::string& text)
{
    std::string out;
    appendXmlEscaped(out, text);
    return out;
}

} // namespace

std::optional<std::int64_t> dayStart(const std::string& date)
{
    int y = 0;
    unsigned m = 0, d = 0;
    char extra = 0;
    if (date.size() != 10 || std::sscanf(date.c_str(), "%4d-%2u-%2u%c", &y, &m, &d, &extra) != 3)
        return std::nullopt;
    std::chrono::year_month_day ymd{std::chrono::year(y), std::chrono::month(m), std::chrono::day(d)};
    if (!ymd.ok())
        return std::nullopt;
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::sys_days(ymd).time_since_epoch()).count();
}

std::string isoTime(std::int64_t milliseconds)
{
    auto seconds = std::chrono::floor<std::chrono::seconds>(
        std::chrono::sys_time<std::chrono::milliseconds>(std::chrono::milliseconds(milliseconds)));
    auto day = std::chrono::floor<std::chrono::days>(seconds);
    std::chrono::hh_mm_ss hms(seconds - day);
    return fmt::format("{}T{:02}:{:02}:{:02}Z", dayOf(milliseconds), hms.hours().count(), hms.minutes().count(),
                       hms.seconds().count());
}

Figures computeFigures(const std::vector<Report>& reports, const ListIndex& index)
{
    Figures figures;
    std::map<std::pair<std::string, std::string>, Figures::Ad> ads;
    std::map<std::string, Figures::App> apps;
    std::map<std::string, Figures::Day> days;
    std::set<std::string> devices, tokens;
    std::set<std::pair<std::string, std::string>> installs; // (app, device)
    for (const auto& [id, app] : index.apps)
        apps[id] = {id, app.name};
    auto appOf = [&](const std::string& id) -> Figures::App& {
        auto& app = apps[id];
        app.appId = id;
        return app;
    };

    for (const auto& r : reports) {
        if (!figures.since)
            figures.since = r.time;
        if (!r.deviceId.empty())
            devices.insert(r.deviceId);
        ++figures.reports;
        if (r.action == "info")
            continue;
        if (r.action == "display" || r.action == "click") {
            auto key = std::pair{r.adType, r.adId};
            auto& ad = ads[key];
            ad.type = r.adType;
            ad.adId = r.adId;
            if (auto it = index.adApp.find(key); it != index.adApp.end())
                ad.appId = it->second;
            std::string date = dayOf(r.time);
            auto& day = days[date];
            day.date = date;
            if (r.action == "display") {
                ++ad.displays;
                ++day.displays;
                if (!ad.appId.empty())
                    ++appOf(ad.appId).displays;
            } else {
                ++ad.clicks;
                ++day.clicks;
                std::string app = r.target.empty() ? ad.appId : r.target;
                if (!app.empty())
                    ++appOf(app).clicks;
            }
        } else if (r.action == "install") {
            std::size_t start = 0;
            while (start <= r.installs.size()) {
                std::size_t comma = std::min(r.installs.find(',', start), r.installs.size());
                std::string id = r.installs.substr(start, comma - start);
                if (!id.empty() && installs.insert({id, r.deviceId}).second)
                    ++appOf(id).installs;
                start = comma + 1;
            }
        } else if (r.action == "apns" && !r.token.empty()) {
            tokens.insert(r.token);
        }
    }
    for (auto& [key, ad] : ads)
        figures.ads.push_back(ad);
    for (auto& [id, app] : apps)
        figures.apps.push_back(app);
    for (auto& [date, day] : days)
        figures.days.push_back(day);
    figures.devices = static_cast<long>(devices.size());
    figures.pushTokens = static_cast<long>(tokens.size());
    return figures;
}

std::string figuresJson(const Figures& figures)
{
    Json ads = Json::array(), apps = Json::array(), days = Json::array();
    for (const auto& ad : figures.ads)
        ads.push_back({{"type", ad.type}, {"ad_id", ad.adId}, {"app_id", ad.appId}, {"displays", ad.displays},
                       {"clicks", ad.clicks}});
    for (const auto& app : figures.apps)
        apps.push_back({{"app_id", app.appId}, {"name", app.name}, {"displays", app.displays}, {"clicks", app.clicks},
                        {"installs", app.installs}});
    for (const auto& day : figures.days)
        days.push_back({{"date", day.date}, {"displays", day.displays}, {"clicks", day.clicks}});
    Json out = {{"ads", ads},
                {"apps", apps},
                {"days", days},
                {"devices", figures.devices},
                {"push_tokens", figures.pushTokens},
                {"reports", figures.reports},
                {"since", figures.since ? Json(isoTime(*figures.since)) : Json(nullptr)}};
    return jsonText(out) + "\n";
}

std::string figuresPage(const Figures& figures, const std::string& span)
{
    auto rate = [](long clicks, long displays) {
        return displays > 0 ? fmt::format("{:.1f}%", 100.0 * static_cast<double>(clicks) / static_cast<double>(displays))
                            : std::string("–");
    };
    std::string appRows;
    for (const auto& app : figures.apps)
        appRows += fmt::format("<tr data-app=\"{id}\"><td><img src=\"/img/icon-{id}.png\" alt=\"\"> {name}</td>"
                               "<td class=\"displays\">{d}</td><td class=\"clicks\">{c}</td><td class=\"rate\">{r}</td>"
                               "<td class=\"installs\">{i}</td></tr>\n",
                               fmt::arg("id", escaped(app.appId)), fmt::arg("name", escaped(app.name)),
                               fmt::arg("d", app.displays), fmt::arg("c", app.clicks),
                               fmt::arg("r", rate(app.clicks, app.displays)), fmt::arg("i", app.installs));
    std::map<std::string, std::string> names;
    for (const auto& app : figures.apps)
        names[app.appId] = app.name.empty() ? app.appId : app.name;
    std::string adRows;
    for (const auto& ad : figures.ads)
        adRows += fmt::format("<tr data-ad=\"{type}/{id}\"><td>{type}</td><td>{id}</td><td>{app}</td>"
                              "<td class=\"displays\">{d}</td><td class=\"clicks\">{c}</td><td>{r}</td></tr>\n",
                              fmt::arg("type", escaped(ad.type)), fmt::arg("id", escaped(ad.adId)),
                              fmt::arg("app", escaped(names.contains(ad.appId) ? names[ad.appId] : ad.appId)), fmt::arg("d", ad.displays), fmt::arg("c", ad.clicks),
                              fmt::arg("r", rate(ad.clicks, ad.displays)));

    // Two bars a day, displays and clicks, scaled to the busiest day.
    long most = 1;
    for (const auto& day : figures.days)
        most = std::max({most, day.displays, day.clicks});
    constexpr int kHeight = 120, kBar = 14, kDay = 44;
    std::string bars;
    for (std::size_t i = 0; i < figures.days.size(); ++i) {
        const auto& day = figures.days[i];
        int x = static_cast<int>(i) * kDay + 8;
        auto h = [&](long n) { return static_cast<int>(static_cast<double>(n) * kHeight / static_cast<double>(most)); };
        bars += fmt::format("<rect class=\"displays\" x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\"><title>{} displays "
                            "{}</title></rect>"
                            "<rect class=\"clicks\" x=\"{}\" y=\"{}\" width=\"{}\" height=\"{}\"><title>{} clicks {}"
                            "</title></rect>"
                            "<text x=\"{}\" y=\"{}\">{}</text>\n",
                            x, 10 + kHeight - h(day.displays), kBar, h(day.displays), day.date, day.displays,
                            x + kBar + 2, 10 + kHeight - h(day.clicks), kBar, h(day.clicks), day.date, day.clicks, x,
                            kHeight + 24, day.date.substr(5));
    }
    int width = std::max(200, static_cast<int>(figures.days.size()) * kDay + 16);

    return fmt::format(R"(<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Promotion figures</title>
<style>
body {{ font-family: sans-serif; margin: 2em; color: #222; }}
table {{ border-collapse: collapse; margin-bottom: 2em; }}
th, td {{ padding: 0.3em 0.8em; border-bottom: 1px solid #ddd; text-align: left; }}
td.displays, td.clicks, td.rate, td.installs {{ text-align: right; }}
img {{ width: 24px; height: 24px; vertical-align: middle; border-radius: 5px; }}
svg rect.displays {{ fill: #2a7ae2; }} svg rect.clicks {{ fill: #e2762a; }}
svg text {{ font-size: 10px; fill: #555; }}
</style>
</head>
<body>
<h1>What the ads did</h1>
<p>{span}: <span id="reports">{reports}</span> reports from <span id="devices">{devices}</span> devices,
<span id="push-tokens">{tokens}</span> push tokens.</p>
<h2>Apps</h2>
<table id="apps">
<tr><th>App</th><th>Displays</th><th>Clicks</th><th>Click-through</th><th>Installs</th></tr>
{apps}</table>
<h2>Ads</h2>
<table id="ads">
<tr><th>Type</th><th>Ad</th><th>App</th><th>Displays</th><th>Clicks</th><th>Click-through</th></tr>
{ads}</table>
<h2>Displays and clicks per day</h2>
<p><span style="color: #2a7ae2">&#9632;</span> displays <span style="color: #e2762a">&#9632;</span> clicks</p>
<svg id="days" width="{width}" height="{svgHeight}" role="img" aria-label="displays (blue) and clicks (orange) per day">
{bars}</svg>
</body>
</html>
)",
                       fmt::arg("span", escaped(span)), fmt::arg("reports", figures.reports),
                       fmt::arg("devices", figures.devices), fmt::arg("tokens", figures.pushTokens),
                       fmt::arg("apps", appRows), fmt::arg("ads", adRows), fmt::arg("width", width),
                       fmt::arg("svgHeight", kHeight + 32), fmt::arg("bars", bars));
}

} // namespace vq::promo
