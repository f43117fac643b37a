#include "support/ReadJson.h"

#include <set>
#include <string>
#include <vector>

namespace vq::test {

namespace {

// Builds the value as nlohmann's own parser does, refusing repeated keys.
class StrictBuilder : public nlohmann::detail::json_sax_dom_parser<Json> {
public:
    using Base = nlohmann::detail::json_sax_dom_parser<Json>;
    explicit StrictBuilder(Json& result) : Base(result, false) {}

    bool start_object(std::size_t size)
    {
        _keys.emplace_back();
        return Base::start_object(size);
    }
    bool end_object()
    {
        _keys.pop_back();
        return Base::end_object();
    }
    bool key(Json::string_t& name) { return _keys.back().insert(name).second && Base::key(name); }

private:
    std::vector<std::set<std::string>> _keys;
};

} // namespace

std::optional<Json> parseJson(std::string_view text)
{
    Json result;
    StrictBuilder builder(result);
    if (!Json::sax_parse(text, &builder, nlohmann::detail::input_format_t::json, true) || builder.is_errored())
        return std::nullopt;
    return result;
}

} // namespace vq::test
