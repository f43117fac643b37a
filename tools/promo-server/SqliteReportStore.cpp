#include "promo-server/ReportStore.h"

#include "core/StringAdditions.h"

#include <fmt/format.h>
#include <sqlite3.h>

#include <mutex>

namespace vq::promo {

namespace {

// "VQPS" in the file's header: the files this server made.
constexpr int kApplicationId = 0x56515053;
constexpr int kSchemaVersion = 1;

// Each step takes the schema from the version before it to its own number.
const char* const kMigrations[] = {
    // 1: the reports, append-only, found by time.
    "CREATE TABLE reports ("
    "  id INTEGER PRIMARY KEY,"
    "  time INTEGER NOT NULL,"
    "  action TEXT NOT NULL,"
    "  app_id TEXT NOT NULL, device_id TEXT NOT NULL, device_type TEXT NOT NULL, version TEXT NOT NULL,"
    "  ad_type TEXT NOT NULL, ad_id TEXT NOT NULL, target TEXT NOT NULL,"
    "  installs TEXT NOT NULL, token TEXT NOT NULL, query TEXT NOT NULL);"
    "CREATE INDEX reports_by_time ON reports(time);",
};
static_assert(std::size(kMigrations) == kSchemaVersion);

struct CloseDatabase {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using Database = std::unique_ptr<sqlite3, CloseDatabase>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

std::optional<std::string> exec(sqlite3* db, const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return std::nullopt;
    std::string why = message ? message : sqlite3_errmsg(db);
    sqlite3_free(message);
    return why;
}

std::optional<std::int64_t> single(sqlite3* db, const char* sql, std::string& error)
{
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &raw, nullptr) != SQLITE_OK) {
        error = sqlite3_errmsg(db);
        return std::nullopt;
    }
    Statement statement(raw);
    if (sqlite3_step(raw) != SQLITE_ROW) {
        error = sqlite3_errmsg(db);
        return std::nullopt;
    }
    return sqlite3_column_int64(raw, 0);
}

Statement prepare(sqlite3* db, const char* sql)
{
    sqlite3_stmt* raw = nullptr;
    sqlite3_prepare_v2(db, sql, -1, &raw, nullptr);
    return Statement(raw);
}

class SqliteReportStore : public ReportStore {
public:
    explicit SqliteReportStore(Database db) : _db(std::move(db))
    {
        _insert = prepare(_db.get(), "INSERT INTO reports (time, action, app_id, device_id, device_type, version, "
                                     "ad_type, ad_id, target, installs, token, query) "
                                     "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        _select = prepare(_db.get(), "SELECT time, action, app_id, device_id, device_type, version, ad_type, ad_id, "
                                     "target, installs, token, query FROM reports WHERE time >= ? AND time < ? "
                                     "ORDER BY time, id");
    }

    bool ready() const { return _insert && _select; }

    std::optional<std::string> append(const Report& given) override
    {
        Report r = given.bounded();
        std::lock_guard lock(_mutex);
        sqlite3_stmt* s = _insert.get();
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, r.time);
        int i = 2;
        for (const std::string* text : {&r.action, &r.appId, &r.deviceId, &r.deviceType, &r.version, &r.adType, &r.adId,
                                        &r.target, &r.installs, &r.token, &r.query})
            sqlite3_bind_text(s, i++, text->data(), static_cast<int>(text->size()), SQLITE_TRANSIENT);
        // Autocommit with synchronous=FULL: on disk when the step is done.
        if (sqlite3_step(s) != SQLITE_DONE)
            return fmt::format("report not stored: {}", sqlite3_errmsg(_db.get()));
        return std::nullopt;
    }

    std::variant<std::vector<Report>, std::string> reports(std::optional<std::int64_t> from,
                                                           std::optional<std::int64_t> to) override
    {
        std::lock_guard lock(_mutex);
        sqlite3_stmt* s = _select.get();
        sqlite3_reset(s);
        sqlite3_bind_int64(s, 1, from.value_or(INT64_MIN));
        sqlite3_bind_int64(s, 2, to.value_or(INT64_MAX));
        std::vector<Report> out;
        auto text = [&](int column) {
            auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
            return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s, column))) : std::string();
        };
        int step;
        while ((step = sqlite3_step(s)) == SQLITE_ROW) {
            Report r;
            r.time = sqlite3_column_int64(s, 0);
            int i = 1;
            for (std::string* field : {&r.action, &r.appId, &r.deviceId, &r.deviceType, &r.version, &r.adType, &r.adId,
                                       &r.target, &r.installs, &r.token, &r.query})
                *field = text(i++);
            out.push_back(std::move(r));
        }
        if (step != SQLITE_DONE)
            return fmt::format("reports cannot be read: {}", sqlite3_errmsg(_db.get()));
        return out;
    }

private:
    std::mutex _mutex;
    Database _db;
    Statement _insert;
    Statement _select;
};

} // namespace

Report Report::bounded() const
{
    Report r = *this;
    for (std::string* field : {&r.action, &r.appId, &r.deviceId, &r.deviceType, &r.version, &r.adType, &r.adId,
                               &r.target, &r.token})
        *field = std::string(prefixWithin(*field, kFieldLimit));
    r.installs = std::string(prefixWithin(r.installs, kLongFieldLimit));
    r.query = std::string(prefixWithin(r.query, kLongFieldLimit));
    return r;
}

std::variant<std::unique_ptr<ReportStore>, std::string> openSqliteReportStore(const std::filesystem::path& file)
{
    auto refuse = [&](const std::string& why) {
        return std::variant<std::unique_ptr<ReportStore>, std::string>(fmt::format("{}: {}", file.string(), why));
    };
    sqlite3* raw = nullptr;
    int opened = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                                 nullptr);
    Database db(raw);
    if (opened != SQLITE_OK)
        return refuse(raw ? sqlite3_errmsg(raw) : "cannot be opened");
    sqlite3_busy_timeout(raw, 5000);

    // Read before anything is written: a file that is not ours stays as it was.
    std::string error;
    auto application = single(raw, "PRAGMA application_id", error);
    auto version = application ? single(raw, "PRAGMA user_version", error) : std::nullopt;
    auto tables = version ? single(raw, "SELECT count(*) FROM sqlite_master", error) : std::nullopt;
    if (!tables)
        return refuse(error);
    bool fresh = *application == 0 && *version == 0 && *tables == 0;
    if (!fresh && *application != kApplicationId)
        return refuse("not a promo-server database; it is left as it is");
    if (*version > kSchemaVersion)
        return refuse(fmt::format("made by a newer promo-server (schema {}, this one knows {})", *version, kSchemaVersion));

    if (auto why = exec(raw, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL"))
        return refuse(*why);
    for (auto v = *version; v < kSchemaVersion; ++v) {
        std::string step = fmt::format("BEGIN IMMEDIATE; {} PRAGMA application_id={}; PRAGMA user_version={}; COMMIT;",
                                       kMigrations[v], kApplicationId, v + 1);
        if (auto why = exec(raw, step.c_str())) {
            exec(raw, "ROLLBACK");
            return refuse(fmt::format("schema {} not made: {}", v + 1, *why));
        }
    }
    auto store = std::make_unique<SqliteReportStore>(std::move(db));
    if (!store->ready())
        return refuse("the reports table is not as this server expects");
    return std::unique_ptr<ReportStore>(std::move(store));
}

} // namespace vq::promo
