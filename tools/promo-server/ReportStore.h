#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace vq::promo {

// One info request or report, as the server answered it.
struct Report {
    std::int64_t time = 0; // milliseconds since 1970, UTC
    std::string action;    // info, display, click, install or apns
    std::string appId, deviceId, deviceType, version;
    std::string adType, adId, target;
    std::string installs; // the install report's list, ids split by commas
    std::string token;
    std::string query; // the raw query, as sent

    // Every field cut to what the store keeps (bytes, at a UTF-8 boundary).
    static constexpr std::size_t kFieldLimit = 1024;
    static constexpr std::size_t kLongFieldLimit = 16 * 1024; // the install list and the raw query
    Report bounded() const;
};

// Where reports are kept: appended, never changed, read back by time. Small on
// purpose, so that a database server can stand in for the file.
class ReportStore {
public:
    virtual ~ReportStore() = default;
    // Committed to stable storage when it returns nothing; why not otherwise.
    virtual std::optional<std::string> append(const Report& report) = 0;
    // Those with from <= time < to (either open), oldest first; why not when they cannot be read.
    virtual std::variant<std::vector<Report>, std::string> reports(std::optional<std::int64_t> from,
                                                                   std::optional<std::int64_t> to) = 0;
};

// An SQLite file: WAL, each report committed before the reply, a schema that
// knows its version. A file that is not ours, or is from a newer server, is
// refused and left as it is.
std::variant<std::unique_ptr<ReportStore>, std::string> openSqliteReportStore(const std::filesystem::path& file);

} // namespace vq::promo
