#pragma once

#include "promo-server/ReportStore.h"

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vq::promo {

// What the lists say about their ads and apps, for reading the reports.
struct ListIndex {
    struct App {
        std::string name;
    };
    std::map<std::string, App> apps;                                  // by store id
    std::map<std::pair<std::string, std::string>, std::string> adApp; // (type, ad id) -> store id
};

// "What did my ads do?", from the reports of a span of time.
struct Figures {
    struct Ad {
        std::string type, adId, appId;
        long displays = 0, clicks = 0;
    };
    struct App {
        std::string appId, name;
        long displays = 0, clicks = 0, installs = 0;
    };
    struct Day {
        std::string date; // YYYY-MM-DD, UTC
        long displays = 0, clicks = 0;
    };
    std::vector<Ad> ads;   // by type, then ad id
    std::vector<App> apps; // by store id: every app of the lists, and any other a report names
    std::vector<Day> days; // the days with displays or clicks, in order
    long devices = 0, pushTokens = 0, reports = 0;
    std::optional<std::int64_t> since; // the first report's time
};

Figures computeFigures(const std::vector<Report>& reports, const ListIndex& index);

std::string figuresJson(const Figures& figures);
// The page a person reads: a row per app and per ad, displays and clicks per day.
std::string figuresPage(const Figures& figures, const std::string& span);

// "2026-12-08" as the milliseconds of that day's start (UTC); nullopt when it is no date.
std::optional<std::int64_t> dayStart(const std::string& date);
std::string isoTime(std::int64_t milliseconds);

} // namespace vq::promo
